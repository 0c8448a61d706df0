#include "ui/fltk/fltk_toolkit.h"

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/x.H>

#include <cstdio>
#include <cstdlib>

#include "platform/clock.h"
#include "platform/text_encoding.h"
#include "ui/dialog_template.h"
#include "ui/fltk/fltk_window.h"
#include "ui/fltk/message_box_window.h"
#include "ui/fltk/screen_scale.h"

namespace ui {
namespace {

bool g_waitCursor = false;

// A quiet grey face like the desktop's dialogs, and a selection that reads as one.
void SetUpLook() {
  Fl::background(240, 240, 240);
  Fl::set_color(FL_SELECTION_COLOR, 51, 110, 200);
  Fl::visible_focus(1);
  Fl_Window::default_xclass("Tidewatcher");
}

// The answer of a box nobody can see: as if it had been closed.
int ClosedAnswer(MessageBoxButtons buttons) {
  switch (buttons) {
    case MessageBoxButtons::kOk:
      return kIdOk;
    case MessageBoxButtons::kOkCancel:
      return kIdCancel;
    case MessageBoxButtons::kYesNo:
      return kIdNo;
  }
  return kIdCancel;
}

}  // namespace

bool FltkToolkit::OpenDisplay(std::string* error) {
  if (fl_display != nullptr) return true;
  const char* name = std::getenv("DISPLAY");
  if (name == nullptr || *name == '\0') {
    if (error != nullptr) *error = "no X display: DISPLAY is not set";
    return false;
  }
  Display* display = XOpenDisplay(name);
  if (display == nullptr) {
    if (error != nullptr) *error = std::string("cannot open the X display \"") + name + "\"";
    return false;
  }
  fl_open_display(display);
  SetUpLook();
  return true;
}

bool FltkToolkit::IsWaitCursorShown() { return g_waitCursor; }

std::unique_ptr<WindowBackend> FltkToolkit::CreateWindow(Dialog& dialog) {
  if (fl_display == nullptr) return nullptr;
  return std::make_unique<FltkWindow>(dialog, fltk::ScreenScale());
}

void FltkToolkit::WaitForEvents(int ms) {
  if (fl_display == nullptr) {
    if (ms > 0) platform::CurrentClock().Sleep(static_cast<uint32_t>(ms));
    return;
  }
  Fl::wait(ms > 0 ? ms / 1000.0 : 0.0);
}

bool FltkToolkit::PumpOneEvent() {
  if (fl_display != nullptr && XPending(fl_display) > 0) {
    XEvent event;
    XNextEvent(fl_display, &event);
    fl_handle(event);
    Fl::flush();
    return true;
  }
  return RunOneDueTimer();
}

int FltkToolkit::MessageBox(const std::string& text, const std::string& caption, MessageBoxButtons buttons,
                            MessageBoxIcon icon) {
  if (fl_display == nullptr) {
    std::fprintf(stderr, "%s\n", platform::Latin1ToUtf8(text).c_str());
    return ClosedAnswer(buttons);
  }
  return fltk::RunMessageBox(platform::Latin1ToUtf8(text), platform::Latin1ToUtf8(caption), buttons, icon,
                             fltk::ScreenScale());
}

void FltkToolkit::SetWaitCursor(bool on) {
  g_waitCursor = on;
  if (fl_display == nullptr) return;
  for (Fl_Window* window = Fl::first_window(); window != nullptr; window = Fl::next_window(window)) {
    window->cursor(on ? FL_CURSOR_WAIT : FL_CURSOR_DEFAULT);
  }
  XFlush(fl_display);
}

int FltkToolkit::ScreenHeight() { return fl_display != nullptr ? Fl::h() : 0; }

}  // namespace ui
