// An IP-address control: four number fields of 0 to 255 separated by dots, in
// one sunken box. Its value puts the first number in the most significant byte;
// a blank field counts as 0. Typing "." or a space in a filled field moves to the
// next one, and so does a third digit; a number above 255 becomes 255.
#pragma once

#include <FL/Fl_Group.H>
#include <FL/Fl_Input.H>

#include <cstdint>

namespace ui::fltk {

class IpAddressInput : public Fl_Group {
 public:
  // The group's callback runs after every change the user makes to a field.
  IpAddressInput(int x, int y, int width, int height, int fontSize);

  uint32_t Address() const;
  // True when every field shows its number of `value` (none blank).
  bool Shows(uint32_t value) const;
  // Shows all four numbers; runs no callback.
  void SetAddress(uint32_t value);
  Fl_Input* Field(int index) const { return fields_[index]; }

 protected:
  void draw() override;

 private:
  class NumberField : public Fl_Input {
   public:
    NumberField(int x, int y, int width, int height);
    int handle(int event) override;
  };

  static void FieldChanged(Fl_Widget* field, void* data);
  int IndexOf(const Fl_Widget* field) const;
  void FocusField(int index);

  NumberField* fields_[4];
  int dotWidth_;
};

}  // namespace ui::fltk
