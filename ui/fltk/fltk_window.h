// The WindowBackend of one dialog on FLTK: owns the dialog's window, shows and
// hides it (centred over its owner the first time), passes the dialog's changes
// on to it, and repaints at once when asked.
#pragma once

#include "ui/toolkit.h"

class Fl_Widget;
class Fl_Window;

namespace ui {

namespace fltk {
class DialogWindow;
}

class FltkWindow : public WindowBackend {
 public:
  FltkWindow(Dialog& dialog, double scale);
  ~FltkWindow() override;
  FltkWindow(const FltkWindow&) = delete;
  FltkWindow& operator=(const FltkWindow&) = delete;

  void Show(bool visible) override;
  void ControlChanged(int id) override;
  void GeometryChanged() override;
  void Invalidate() override;
  void RedrawNow() override;
  void SetModal(bool modal) override;

  // The native window and the widget of control `id` (null when none), for
  // placing other windows and for tests that act as the user.
  Fl_Window& NativeWindow() const;
  Fl_Widget* ControlWidget(int id) const;

 private:
  void Place();
  Fl_Window* OwnerWindow() const;

  Dialog& dialog_;
  fltk::DialogWindow* window_;
  bool placed_ = false;
};

}  // namespace ui
