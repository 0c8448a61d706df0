#include "ui/fltk/ip_address_input.h"

#include <FL/Fl.H>
#include <FL/fl_draw.H>

#include <cstdlib>
#include <string>

namespace ui::fltk {
namespace {

constexpr int kFields = 4;
constexpr int kMaxDigits = 3;
constexpr int kMaxNumber = 255;

// The digits of a field's text, at most three, capped at 255.
std::string CleanNumber(const char* text) {
  std::string digits;
  for (const char* c = text; *c != '\0' && digits.size() < kMaxDigits; ++c) {
    if (*c >= '0' && *c <= '9') digits += *c;
  }
  if (!digits.empty() && std::atoi(digits.c_str()) > kMaxNumber) digits = std::to_string(kMaxNumber);
  return digits;
}

int FieldValue(const Fl_Input& field) { return std::atoi(field.value()); }

}  // namespace

IpAddressInput::NumberField::NumberField(int x, int y, int width, int height) : Fl_Input(x, y, width, height) {
  box(FL_FLAT_BOX);
  color(FL_BACKGROUND2_COLOR);
  when(FL_WHEN_CHANGED);
}

int IpAddressInput::NumberField::handle(int event) {
  if (event == FL_KEYBOARD) {
    const char* text = Fl::event_text();
    const bool printable = Fl::event_length() == 1 && static_cast<unsigned char>(text[0]) >= ' ' &&
                           (Fl::event_state() & (FL_CTRL | FL_ALT | FL_META)) == 0;
    // A separator moves on, except in a field still empty: typing "192." moves on
    // after the third digit already, and the dot must not skip a field.
    if (printable && (text[0] == '.' || text[0] == ' ')) {
      auto* group = static_cast<IpAddressInput*>(parent());
      if (size() > 0) group->FocusField(group->IndexOf(this) + 1);
      return 1;
    }
    if (printable && (text[0] < '0' || text[0] > '9')) return 1;  // only digits go in
  }
  return Fl_Input::handle(event);
}

IpAddressInput::IpAddressInput(int x, int y, int width, int height, int fontSize)
    : Fl_Group(x, y, width, height) {
  box(FL_DOWN_BOX);
  color(FL_BACKGROUND2_COLOR);
  fl_font(FL_HELVETICA, fontSize);
  dotWidth_ = static_cast<int>(fl_width('.')) + 4;
  const int innerX = x + Fl::box_dx(box()), innerY = y + Fl::box_dy(box());
  const int innerW = width - Fl::box_dw(box()), innerH = height - Fl::box_dh(box());
  const int fieldWidth = (innerW - (kFields - 1) * dotWidth_) / kFields;
  for (int i = 0; i < kFields; ++i) {
    fields_[i] = new NumberField(innerX + i * (fieldWidth + dotWidth_), innerY, fieldWidth, innerH);
    fields_[i]->textsize(fontSize);
    fields_[i]->callback(FieldChanged, this);
  }
  end();
}

uint32_t IpAddressInput::Address() const {
  uint32_t value = 0;
  for (const NumberField* field : fields_) value = (value << 8) | static_cast<uint32_t>(FieldValue(*field) & 0xFF);
  return value;
}

bool IpAddressInput::Shows(uint32_t value) const {
  for (int i = 0; i < kFields; ++i) {
    const uint32_t number = (value >> (24 - 8 * i)) & 0xFF;
    if (std::to_string(number) != fields_[i]->value()) return false;
  }
  return true;
}

void IpAddressInput::SetAddress(uint32_t value) {
  for (int i = 0; i < kFields; ++i) fields_[i]->value(std::to_string((value >> (24 - 8 * i)) & 0xFF).c_str());
}

int IpAddressInput::IndexOf(const Fl_Widget* field) const {
  for (int i = 0; i < kFields; ++i) {
    if (fields_[i] == field) return i;
  }
  return -1;
}

void IpAddressInput::FocusField(int index) {
  if (index < 0 || index >= kFields) return;
  fields_[index]->take_focus();
  fields_[index]->position(0, fields_[index]->size());
}

void IpAddressInput::FieldChanged(Fl_Widget* widget, void* data) {
  auto* self = static_cast<IpAddressInput*>(data);
  auto* field = static_cast<Fl_Input*>(widget);
  const std::string clean = CleanNumber(field->value());
  if (clean != field->value()) field->value(clean.c_str());
  const bool full = clean.size() == kMaxDigits && field->position() >= field->size();
  self->do_callback();
  if (full) self->FocusField(self->IndexOf(field) + 1);
}

void IpAddressInput::draw() {
  Fl_Group::draw();
  fl_font(FL_HELVETICA, fields_[0]->textsize());
  fl_color(active_r() ? FL_FOREGROUND_COLOR : fl_inactive(FL_FOREGROUND_COLOR));
  for (int i = 0; i + 1 < kFields; ++i) {
    const int left = fields_[i]->x() + fields_[i]->w();
    fl_draw(".", left, fields_[i]->y(), dotWidth_, fields_[i]->h(), FL_ALIGN_CENTER, nullptr, 0);
  }
}

}  // namespace ui::fltk
