#include "ui/fltk/message_box_window.h"

#include <FL/Fl.H>
#include <FL/fl_draw.H>

#include <algorithm>
#include <utility>
#include <vector>

#include "ui/dialog_template.h"
#include "ui/fltk/artwork.h"
#include "ui/fltk/backdrop_window.h"
#include "ui/fltk/control_widgets.h"
#include "ui/fltk/screen_scale.h"
#include "ui/fltk/x11_window_hints.h"

namespace ui::fltk {
namespace {

// Layout in unscaled pixels.
constexpr int kMargin = 11;
constexpr int kIconSize = 32;
constexpr int kIconGap = 12;
constexpr int kMaxTextWidth = 420;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 23;
constexpr int kButtonGap = 6;
constexpr int kButtonsTop = 16;
constexpr int kFontPixels = 10;
constexpr int kLoopSliceMs = 100;

struct ButtonSpec {
  const char* label;
  int answer;
};

struct Choice {
  std::vector<ButtonSpec> buttons;
  int escapeAnswer;  // 0: Escape and the close box do nothing
};

Choice ChoiceFor(MessageBoxButtons buttons) {
  switch (buttons) {
    case MessageBoxButtons::kOk:
      return {{{"OK", kIdOk}}, kIdOk};
    case MessageBoxButtons::kOkCancel:
      return {{{"OK", kIdOk}, {"Cancel", kIdCancel}}, kIdCancel};
    case MessageBoxButtons::kYesNo:
      return {{{"&Yes", kIdYes}, {"&No", kIdNo}}, 0};
  }
  return {{{"OK", kIdOk}}, kIdOk};
}

class IconBox : public Fl_Widget {
 public:
  IconBox(int x, int y, int size, MessageBoxIcon icon) : Fl_Widget(x, y, size, size), icon_(icon) {}

 protected:
  void draw() override {
    PaintBackdropUnder(*this);
    DrawMessageIcon(icon_, x(), y(), w());
  }

 private:
  MessageBoxIcon icon_;
};

struct Box {
  std::vector<std::pair<const Fl_Widget*, int>> buttons;
  int escapeAnswer = 0;
  int answer = 0;
};

void ButtonPressed(Fl_Widget* button, void* data) {
  auto* box = static_cast<Box*>(data);
  for (const auto& [widget, answer] : box->buttons) {
    if (widget == button) box->answer = answer;
  }
}

void CloseRequested(Fl_Widget*, void* data) {
  auto* box = static_cast<Box*>(data);
  if (box->escapeAnswer != 0) box->answer = box->escapeAnswer;
}

// Over the window the user was working in, or in the middle of the screen.
void Centre(Fl_Window& window) {
  int x = 0, y = 0, width = 0, height = 0;
  Fl_Window* owner = Fl::first_window();
  while (owner != nullptr && (owner == &window || !owner->visible())) owner = Fl::next_window(owner);
  if (owner != nullptr) {
    x = owner->x();
    y = owner->y();
    width = owner->w();
    height = owner->h();
  } else {
    Fl::screen_xywh(x, y, width, height);
  }
  window.position(x + (width - window.w()) / 2, y + (height - window.h()) / 3);
}

}  // namespace

int RunMessageBox(const std::string& text, const std::string& caption, MessageBoxButtons buttons,
                  MessageBoxIcon icon, double scale) {
  auto px = [scale](int pixels) { return ScalePixels(pixels, scale); };
  const Choice choice = ChoiceFor(buttons);
  const int fontSize = px(kFontPixels);
  fl_font(FL_HELVETICA, fontSize);
  int textWidth = px(kMaxTextWidth), textHeight = 0;
  fl_measure(text.c_str(), textWidth, textHeight, 0);
  const int iconSpace = icon == MessageBoxIcon::kNone ? 0 : px(kIconSize + kIconGap);
  const int count = static_cast<int>(choice.buttons.size());
  const int buttonsWidth = count * px(kButtonWidth) + (count - 1) * px(kButtonGap);
  const int width = std::max(2 * px(kMargin) + iconSpace + textWidth, 2 * px(kMargin) + buttonsWidth);
  const int bodyHeight = std::max(textHeight, icon == MessageBoxIcon::kNone ? 0 : px(kIconSize));
  const int buttonsTop = px(kMargin) + bodyHeight + px(kButtonsTop);
  const int height = buttonsTop + px(kButtonHeight) + px(kMargin);

  Box box;
  box.escapeAnswer = choice.escapeAnswer;
  BackdropWindow window(width, height, nullptr);
  window.copy_label(caption.c_str());
  if (icon != MessageBoxIcon::kNone) new IconBox(px(kMargin), px(kMargin), px(kIconSize), icon);
  auto* label = new SurfaceLabel(px(kMargin) + iconSpace, px(kMargin) + (bodyHeight - textHeight) / 2, textWidth,
                                 textHeight);
  label->labelsize(fontSize);
  label->SetText(text);
  int left = (width - buttonsWidth) / 2;
  for (int i = 0; i < count; ++i) {
    Fl_Button* button = i == 0 ? new DefaultButton(left, buttonsTop, px(kButtonWidth), px(kButtonHeight))
                               : new Fl_Button(left, buttonsTop, px(kButtonWidth), px(kButtonHeight));
    button->label(choice.buttons[static_cast<size_t>(i)].label);
    button->labelsize(fontSize);
    button->callback(ButtonPressed, &box);
    box.buttons.emplace_back(button, choice.buttons[static_cast<size_t>(i)].answer);
    left += px(kButtonWidth) + px(kButtonGap);
  }
  window.end();
  window.resizable(nullptr);
  window.size_range(width, height, width, height);
  window.callback(CloseRequested, &box);
  window.set_modal();
  Centre(window);
  window.show();
  ApplyWindowHints(window, choice.escapeAnswer == 0 ? kDialogNoClose : kDialogNone, nullptr);

  while (box.answer == 0) {
    Fl::wait(MsUntilNextTimer(kLoopSliceMs) / 1000.0);
    RunDueTimers();
    if (box.answer == 0 && !window.shown()) box.answer = choice.escapeAnswer != 0 ? choice.escapeAnswer : kIdNo;
  }
  window.hide();
  return box.answer;
}

}  // namespace ui::fltk
