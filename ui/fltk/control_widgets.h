// The FLTK widgets that stand in for the dialog controls FLTK has no exact match
// for: static text and check boxes that sit on the window's gradient, a default
// button drawn as one, the small help button, the picture, a group frame, and a
// list box that leaves Enter to the dialog.
#pragma once

#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Hold_Browser.H>
#include <FL/Fl_Widget.H>

#include <string>

namespace ui::fltk {

// Static text, top-left aligned and wrapped at word breaks, with no background of
// its own. Drawn literally: no '@' symbols, no '&' underlines. A one-line label
// too narrow for its text runs on to the right rather than wrap.
class SurfaceLabel : public Fl_Widget {
 public:
  SurfaceLabel(int x, int y, int width, int height);
  void SetText(const std::string& utf8);
  const std::string& Text() const { return text_; }
  // A thin sunken frame around the text.
  void SetSunken(bool sunken);

 protected:
  void draw() override;

 private:
  std::string text_;
  int paintedWidth_ = 0;  // how far the last drawing reached
};

class SurfaceCheckBox : public Fl_Check_Button {
 public:
  SurfaceCheckBox(int x, int y, int width, int height);

 protected:
  void draw() override;
};

// Enter presses it (when it is usable); a dark outline marks it as the default.
class DefaultButton : public Fl_Button {
 public:
  DefaultButton(int x, int y, int width, int height);

 protected:
  void draw() override;
};

// A push button showing the help badge instead of text.
class HelpButton : public Fl_Button {
 public:
  HelpButton(int x, int y, int width, int height);

 protected:
  void draw() override;
};

// The dialog's picture in a sunken frame.
class PictureBox : public Fl_Widget {
 public:
  PictureBox(int x, int y, int width, int height, double scale);

 protected:
  void draw() override;

 private:
  double scale_;
};

// An etched frame with its title on the window surface.
class GroupFrame : public Fl_Widget {
 public:
  GroupFrame(int x, int y, int width, int height);
  void SetText(const std::string& utf8);
  const std::string& Text() const { return text_; }

 protected:
  void draw() override;

 private:
  std::string text_;
};

// Single selection; lines shown literally ('@' is no format code). Enter goes on
// to the dialog's default button, as in other dialogs, instead of being eaten.
class ListBox : public Fl_Hold_Browser {
 public:
  ListBox(int x, int y, int width, int height);
  int handle(int event) override;
};

}  // namespace ui::fltk
