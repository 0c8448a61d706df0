// The dialog toolkit on an X display through FLTK 1.3: one window per dialog,
// the event loop, message boxes and the wait cursor. The program opens the
// display first and then makes the toolkit current:
//
//   std::string error;
//   if (!ui::FltkToolkit::OpenDisplay(&error)) { report error; exit non-zero }
//   ui::FltkToolkit toolkit;
//   ui::SetToolkit(&toolkit);
//   ... dialog.DoModal() ...
//   ui::SetToolkit(nullptr);
//
// Dialog timers are not FLTK timeouts: the dialogs' loops, this toolkit's pump
// and its message boxes run them from the shared timer table (toolkit.h).
#pragma once

#include <string>

#include "ui/toolkit.h"

namespace ui {

class FltkToolkit : public Toolkit {
 public:
  // Opens the display named by DISPLAY and sets up FLTK's look; true when it is
  // open (also when it already was). Without a display this fails with a message
  // instead of letting FLTK print one and exit.
  static bool OpenDisplay(std::string* error);
  static bool IsWaitCursorShown();

  // Null while no display is open.
  std::unique_ptr<WindowBackend> CreateWindow(Dialog& dialog) override;
  void WaitForEvents(int ms) override;
  // One pending X event, or else the most overdue timer.
  bool PumpOneEvent() override;
  int MessageBox(const std::string& text, const std::string& caption, MessageBoxButtons buttons,
                 MessageBoxIcon icon) override;
  void SetWaitCursor(bool on) override;
  int ScreenHeight() override;
};

}  // namespace ui
