#include "ui/fltk/x11_window_hints.h"

#include <FL/Fl_Window.H>
#include <FL/x.H>
#include <X11/Xatom.h>

#include "ui/dialog_template.h"

namespace ui::fltk {
namespace {

// _MOTIF_WM_HINTS: five longs: flags, functions, decorations, input mode, status.
constexpr long kMwmHintsFunctions = 1L << 0;
constexpr long kMwmHintsDecorations = 1L << 1;
constexpr long kMwmFuncMove = 1L << 2;
constexpr long kMwmFuncMinimize = 1L << 3;
constexpr long kMwmFuncClose = 1L << 5;
constexpr long kMwmDecorBorder = 1L << 1;
constexpr long kMwmDecorTitle = 1L << 3;
constexpr long kMwmDecorMenu = 1L << 4;
constexpr long kMwmDecorMinimize = 1L << 5;
// _NET_WM_STATE client message: data.l[0] action, l[1] and l[2] atoms, l[3] source.
constexpr long kNetWmStateAdd = 1;
constexpr long kSourceApplication = 1;

Atom Intern(const char* name) { return XInternAtom(fl_display, name, False); }

void SetCaptionButtons(Window xid, uint32_t style) {
  const bool closeBox = (style & kDialogNoClose) == 0;
  const bool minimizeBox = (style & kDialogMinimizeBox) != 0;
  long hints[5] = {kMwmHintsFunctions | kMwmHintsDecorations, kMwmFuncMove, kMwmDecorBorder | kMwmDecorTitle, 0, 0};
  if (closeBox) {
    hints[1] |= kMwmFuncClose;
    hints[2] |= kMwmDecorMenu;
  }
  if (minimizeBox) {
    hints[1] |= kMwmFuncMinimize;
    hints[2] |= kMwmDecorMinimize;
  }
  const Atom motif = Intern("_MOTIF_WM_HINTS");
  XChangeProperty(fl_display, xid, motif, motif, 32, PropModeReplace, reinterpret_cast<unsigned char*>(hints), 5);
}

// The window is already mapped (FLTK maps as it creates), so the state is both
// written (for managers that read it late) and asked for the EWMH way.
void MakeToolWindow(Window xid) {
  Atom type = Intern("_NET_WM_WINDOW_TYPE_UTILITY");
  XChangeProperty(fl_display, xid, Intern("_NET_WM_WINDOW_TYPE"), XA_ATOM, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(&type), 1);
  const Atom state = Intern("_NET_WM_STATE");
  Atom skip[2] = {Intern("_NET_WM_STATE_SKIP_TASKBAR"), Intern("_NET_WM_STATE_SKIP_PAGER")};
  XChangeProperty(fl_display, xid, state, XA_ATOM, 32, PropModeReplace, reinterpret_cast<unsigned char*>(skip), 2);
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = xid;
  event.xclient.message_type = state;
  event.xclient.format = 32;
  event.xclient.data.l[0] = kNetWmStateAdd;
  event.xclient.data.l[1] = static_cast<long>(skip[0]);
  event.xclient.data.l[2] = static_cast<long>(skip[1]);
  event.xclient.data.l[3] = kSourceApplication;
  XSendEvent(fl_display, DefaultRootWindow(fl_display), False, SubstructureRedirectMask | SubstructureNotifyMask,
             &event);
}

}  // namespace

void ApplyWindowHints(Fl_Window& window, uint32_t dialogStyle, Fl_Window* owner) {
  if (!window.shown()) return;
  const Window xid = fl_xid(&window);
  SetCaptionButtons(xid, dialogStyle);
  if ((dialogStyle & kDialogToolWindow) != 0) MakeToolWindow(xid);
  if (owner != nullptr && owner->shown()) XSetTransientForHint(fl_display, xid, fl_xid(owner));
  XFlush(fl_display);
}

}  // namespace ui::fltk
