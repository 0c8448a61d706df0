#include "ui/fltk/control_widgets.h"

#include <FL/Fl.H>
#include <FL/fl_draw.H>

#include <algorithm>

#include "ui/fltk/artwork.h"
#include "ui/fltk/backdrop_window.h"

namespace ui::fltk {
namespace {

// Text drawn without FLTK's label codes: names and status texts come from the
// network and the user.
void DrawPlainText(const std::string& text, const Fl_Widget& widget, int x, int y, int width, int height,
                   Fl_Align align) {
  fl_font(widget.labelfont(), widget.labelsize());
  fl_color(widget.active_r() ? widget.labelcolor() : fl_inactive(widget.labelcolor()));
  fl_draw(text.c_str(), x, y, width, height, align, nullptr, 0);
}

}  // namespace

SurfaceLabel::SurfaceLabel(int x, int y, int width, int height) : Fl_Widget(x, y, width, height) {
  box(FL_NO_BOX);
}

void SurfaceLabel::SetText(const std::string& utf8) {
  if (utf8 == text_) return;
  text_ = utf8;
  redraw();
}

void SurfaceLabel::SetSunken(bool sunken) { box(sunken ? FL_THIN_DOWN_FRAME : FL_NO_BOX); }

// The layouts were made for a narrower font. A one-line label whose text is wider
// than its box runs on to the right instead of wrapping into a second line that
// would be cut off; it paints the surface under the whole run.
void SurfaceLabel::draw() {
  fl_font(labelfont(), labelsize());
  const bool framed = box() != FL_NO_BOX;
  const bool oneLine = h() < 2 * fl_height();
  int extent = w();
  if (!framed && oneLine) {
    const int room = window() != nullptr ? window()->w() - x() : w();
    extent = std::min(std::max(w(), static_cast<int>(fl_width(text_.c_str())) + 1), std::max(w(), room));
  }
  const int painted = std::max(extent, paintedWidth_);
  paintedWidth_ = extent;
  if (auto* surface = dynamic_cast<BackdropWindow*>(parent())) {
    surface->DrawBackdrop(x(), y(), painted, h());
  } else {
    PaintBackdropUnder(*this);
  }
  int inset = 0;
  if (framed) {
    draw_box();
    inset = Fl::box_dx(box()) + 1;
  }
  fl_push_clip(x(), y(), extent, h());
  const Fl_Align wrap = oneLine ? 0 : FL_ALIGN_WRAP;
  DrawPlainText(text_, *this, x() + inset, y() + inset, extent - 2 * inset, h() - 2 * inset,
                FL_ALIGN_TOP_LEFT | FL_ALIGN_INSIDE | wrap);
  fl_pop_clip();
}

SurfaceCheckBox::SurfaceCheckBox(int x, int y, int width, int height) : Fl_Check_Button(x, y, width, height) {}

void SurfaceCheckBox::draw() {
  PaintBackdropUnder(*this);
  Fl_Check_Button::draw();
}

DefaultButton::DefaultButton(int x, int y, int width, int height) : Fl_Button(x, y, width, height) {
  shortcut(FL_Enter);
}

void DefaultButton::draw() {
  Fl_Button::draw();
  fl_color(active_r() ? FL_BLACK : fl_inactive(FL_BLACK));
  fl_rect(x(), y(), w(), h());
}

HelpButton::HelpButton(int x, int y, int width, int height) : Fl_Button(x, y, width, height) {}

void HelpButton::draw() {
  draw_box(value() ? (down_box() ? down_box() : fl_down(box())) : box(), color());
  const int size = std::max(0, std::min(w(), h()) - Fl::box_dh(box()));
  const int pressed = value() ? 1 : 0;
  DrawHelpIcon(x() + (w() - size) / 2 + pressed, y() + (h() - size) / 2 + pressed, size, active_r() != 0);
  if (Fl::focus() == this) draw_focus();
}

PictureBox::PictureBox(int x, int y, int width, int height, double scale)
    : Fl_Widget(x, y, width, height), scale_(scale) {
  box(FL_THIN_DOWN_FRAME);
}

void PictureBox::draw() {
  const int dx = Fl::box_dx(box()), dy = Fl::box_dy(box());
  fl_push_clip(x() + dx, y() + dy, w() - Fl::box_dw(box()), h() - Fl::box_dh(box()));
  DrawWaterPicture(x() + dx, y() + dy, w() - Fl::box_dw(box()), h() - Fl::box_dh(box()), scale_);
  fl_pop_clip();
  draw_box();
}

GroupFrame::GroupFrame(int x, int y, int width, int height) : Fl_Widget(x, y, width, height) {
  box(FL_ENGRAVED_FRAME);
}

void GroupFrame::SetText(const std::string& utf8) {
  if (utf8 == text_) return;
  text_ = utf8;
  redraw();
}

void GroupFrame::draw() {
  PaintBackdropUnder(*this);
  fl_font(labelfont(), labelsize());
  const int half = fl_height() / 2;
  draw_box(box(), x(), y() + half, w(), h() - half, color());
  if (text_.empty()) return;
  const int pad = std::max(2, labelsize() / 3);
  const int textWidth = static_cast<int>(fl_width(text_.c_str())) + 2 * pad;
  const int left = x() + labelsize() - pad;
  if (auto* window = dynamic_cast<BackdropWindow*>(parent())) {
    window->DrawBackdrop(left, y(), textWidth, fl_height());
  } else {
    fl_color(parent()->color());
    fl_rectf(left, y(), textWidth, fl_height());
  }
  DrawPlainText(text_, *this, left + pad, y(), textWidth, fl_height(), FL_ALIGN_LEFT | FL_ALIGN_INSIDE);
}

ListBox::ListBox(int x, int y, int width, int height) : Fl_Hold_Browser(x, y, width, height) {
  format_char(0);
}

int ListBox::handle(int event) {
  if (event == FL_KEYBOARD && (Fl::event_key() == FL_Enter || Fl::event_key() == FL_KP_Enter)) return 0;
  return Fl_Hold_Browser::handle(event);
}

}  // namespace ui::fltk
