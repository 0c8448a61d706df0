// The FLTK window of one dialog: its widgets made from the dialog's template
// (dialog units to pixels, times the screen scale), kept equal to the dialog's
// control state, and the user's actions on them reported to the dialog. The
// dialog owns the state; this window only mirrors it, so a program write is never
// reported back as a user change.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ui/dialog.h"
#include "ui/fltk/backdrop_window.h"

namespace ui::fltk {

class DialogWindow : public BackdropWindow {
 public:
  DialogWindow(Dialog& dialog, double scale);
  // The dialog is going away: the window reports nothing more to it.
  void Detach() { dialog_ = nullptr; }
  // Makes control `id`'s widget show the dialog's state for it.
  void Refresh(int id);
  // Takes the size of the dialog's window rectangle.
  void FitToDialog();
  uint32_t DialogStyle() const { return style_; }
  Fl_Widget* ControlWidget(int id) const;
  int handle(int event) override;

 private:
  struct Control {
    int id;
    ControlKind kind;
    uint32_t style;
    std::string templateText;
    Fl_Widget* widget;
  };

  void AddControl(const ControlTemplate& source);
  Fl_Widget* MakeWidget(const ControlTemplate& source, int x, int y, int width, int height);
  int Scaled(int pixels) const;
  void Mirror(const Control& control);
  void MirrorContent(const Control& control);
  void MirrorList(const Control& control);
  void Report(const Control& control);
  void PressEnter();
  const Control* Find(int id) const;
  const Control* FindWidget(const Fl_Widget* widget) const;
  static void WidgetCallback(Fl_Widget* widget, void* data);
  static void CloseCallback(Fl_Widget* widget, void* data);

  Dialog* dialog_;
  double scale_;
  uint32_t style_;
  int fontSize_;
  std::vector<Control> controls_;
  // The control whose user change is being reported, 0 when none.
  int reporting_ = 0;
  bool building_ = false;
};

}  // namespace ui::fltk
