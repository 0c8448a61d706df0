#include "ui/fltk/fltk_window.h"

#include <FL/Fl.H>

#include "ui/dialog.h"
#include "ui/fltk/dialog_window.h"
#include "ui/fltk/fltk_toolkit.h"
#include "ui/fltk/x11_window_hints.h"

namespace ui {

FltkWindow::FltkWindow(Dialog& dialog, double scale)
    : dialog_(dialog), window_(new fltk::DialogWindow(dialog, scale)) {}

// The window may be inside one of its own callbacks (a handler that destroys its
// dialog): it is detached and hidden now, and deleted when FLTK is back in its loop.
FltkWindow::~FltkWindow() {
  window_->Detach();
  window_->hide();
  Fl::delete_widget(window_);
}

void FltkWindow::Show(bool visible) {
  if (!visible) {
    window_->hide();
    return;
  }
  if (!placed_) Place();
  window_->show();
  fltk::ApplyWindowHints(*window_, window_->DialogStyle(), OwnerWindow());
  if (FltkToolkit::IsWaitCursorShown()) window_->cursor(FL_CURSOR_WAIT);
}

void FltkWindow::SetModal(bool modal) {
  if (modal) {
    window_->set_modal();
  } else {
    window_->set_non_modal();
  }
}

// Centred over the owner's window, or on the screen.
void FltkWindow::Place() {
  placed_ = true;
  int x = 0, y = 0, width = 0, height = 0;
  Fl_Window* owner = OwnerWindow();
  if (owner != nullptr && owner->shown()) {
    x = owner->x();
    y = owner->y();
    width = owner->w();
    height = owner->h();
  } else {
    Fl::screen_xywh(x, y, width, height);
  }
  window_->position(x + (width - window_->w()) / 2, y + (height - window_->h()) / 2);
}

Fl_Window* FltkWindow::OwnerWindow() const {
  Dialog* parent = dialog_.Parent();
  auto* owner = parent != nullptr ? dynamic_cast<FltkWindow*>(parent->Window()) : nullptr;
  return owner != nullptr ? owner->window_ : nullptr;
}

void FltkWindow::ControlChanged(int id) { window_->Refresh(id); }

void FltkWindow::GeometryChanged() {
  window_->FitToDialog();
  fltk::ApplyWindowHints(*window_, window_->DialogStyle(), OwnerWindow());
}

void FltkWindow::Invalidate() { window_->redraw(); }

void FltkWindow::RedrawNow() {
  window_->redraw();
  Fl::flush();
}

Fl_Window& FltkWindow::NativeWindow() const { return *window_; }

Fl_Widget* FltkWindow::ControlWidget(int id) const { return window_->ControlWidget(id); }

}  // namespace ui
