#include "ui/fltk/dialog_window.h"

#include <FL/Fl.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_RGB_Image.H>
#include <FL/Fl_Secret_Input.H>

#include <algorithm>
#include <cstring>

#include "platform/text_encoding.h"
#include "ui/fltk/artwork.h"
#include "ui/fltk/control_widgets.h"
#include "ui/fltk/ip_address_input.h"
#include "ui/fltk/screen_scale.h"

namespace ui::fltk {
namespace {

// FL_HELVETICA at 10 px has the base units of the layouts' dialog font.
constexpr int kFontPixels = 10;
const Fl_Color kGreyText = fl_rgb_color(150, 150, 150);

std::string Utf8(const std::string& latin1) { return platform::Latin1ToUtf8(latin1); }

void SetInputText(Fl_Input& input, const std::string& utf8) {
  if (std::strcmp(input.value(), utf8.c_str()) == 0) return;
  const int position = input.position();
  input.value(utf8.c_str());
  input.position(std::min(position, input.size()));
}

void SetButtonText(Fl_Widget& widget, const std::string& utf8) {
  if (widget.label() != nullptr && utf8 == widget.label()) return;
  widget.copy_label(utf8.c_str());
}

void SetIcons(Fl_Window& window) {
  const Fl_RGB_Image* icons[] = {AppIcon(16), AppIcon(32), AppIcon(48)};
  window.icons(icons, 3);
}

}  // namespace

DialogWindow::DialogWindow(Dialog& dialog, double scale)
    : BackdropWindow(1, 1, nullptr),
      dialog_(&dialog),
      scale_(scale),
      style_(dialog.Template().style),
      fontSize_(ScalePixels(kFontPixels, scale)) {
  copy_label(Utf8(dialog.Template().caption).c_str());
  if ((style_ & kDialogGradient) != 0) SetGradientTop(Scaled(kGradientTopPx));
  if ((style_ & kDialogToolWindow) == 0) SetIcons(*this);
  callback(CloseCallback, this);
  for (const ControlTemplate& source : dialog.Template().controls) AddControl(source);
  end();
  resizable(nullptr);
  FitToDialog();
  building_ = true;
  for (const Control& control : controls_) Mirror(control);
  building_ = false;
}

int DialogWindow::Scaled(int pixels) const { return ScalePixels(pixels, scale_); }

void DialogWindow::AddControl(const ControlTemplate& source) {
  const int x = DialogUnitsToPixelsX(source.x), y = DialogUnitsToPixelsY(source.y);
  const int width = DialogUnitsToPixelsX(source.width), height = DialogUnitsToPixelsY(source.height);
  Fl_Widget* widget = MakeWidget(source, Scaled(x), Scaled(y), Scaled(width), Scaled(height));
  widget->labelfont(FL_HELVETICA);
  widget->labelsize(fontSize_);
  if ((source.style & kStyleGreyText) != 0) widget->labelcolor(kGreyText);
  if (source.kind != ControlKind::kIpAddress) widget->callback(WidgetCallback, this);
  controls_.push_back(Control{source.id, source.kind, source.style, Utf8(source.text), widget});
}

Fl_Widget* DialogWindow::MakeWidget(const ControlTemplate& source, int x, int y, int width, int height) {
  switch (source.kind) {
    case ControlKind::kLabel: {
      auto* label = new SurfaceLabel(x, y, width, height);
      label->SetSunken((source.style & kStyleSunken) != 0);
      return label;
    }
    case ControlKind::kEdit:
    case ControlKind::kPasswordEdit: {
      Fl_Input* input = source.kind == ControlKind::kEdit ? new Fl_Input(x, y, width, height)
                                                          : new Fl_Secret_Input(x, y, width, height);
      input->textsize(fontSize_);
      input->when(FL_WHEN_CHANGED);
      return input;
    }
    case ControlKind::kButton:
      return new Fl_Button(x, y, width, height);
    case ControlKind::kDefaultButton:
      return new DefaultButton(x, y, width, height);
    case ControlKind::kCheckBox:
      return new SurfaceCheckBox(x, y, width, height);
    case ControlKind::kListBox: {
      auto* list = new ListBox(x, y, width, height);
      list->has_scrollbar((source.style & kStyleVScroll) != 0 ? Fl_Browser_::VERTICAL : 0);
      list->textsize(fontSize_);
      list->when(FL_WHEN_CHANGED);
      return list;
    }
    case ControlKind::kIpAddress: {
      auto* address = new IpAddressInput(x, y, width, height, fontSize_);
      address->callback(WidgetCallback, this);
      return address;
    }
    case ControlKind::kPicture:
      return new PictureBox(x, y, width, height, scale_);
    case ControlKind::kImageButton:
      return new HelpButton(x, y, width, height);
    case ControlKind::kGroupBox:
      return new GroupFrame(x, y, width, height);
  }
  return new SurfaceLabel(x, y, width, height);
}

void DialogWindow::FitToDialog() {
  if (dialog_ == nullptr) return;
  const Rect rect = dialog_->GetWindowRect();
  const int width = std::max(1, Scaled(rect.Width())), height = std::max(1, Scaled(rect.Height()));
  if (width == w() && height == h()) return;
  size(width, height);
  size_range(width, height, width, height);
  redraw();
}

Fl_Widget* DialogWindow::ControlWidget(int id) const {
  const Control* control = Find(id);
  return control != nullptr ? control->widget : nullptr;
}

void DialogWindow::Refresh(int id) {
  if (const Control* control = Find(id)) Mirror(*control);
}

void DialogWindow::Mirror(const Control& control) {
  Fl_Widget& widget = *control.widget;
  const bool addressed = control.id != 0 && dialog_ != nullptr;
  const bool visible = addressed ? dialog_->IsItemVisible(control.id) : true;
  const bool enabled = addressed ? dialog_->IsItemEnabled(control.id) : (control.style & kStyleDisabled) == 0;
  if (visible != (widget.visible() != 0)) visible ? widget.show() : widget.hide();
  if (enabled != (widget.active() != 0)) enabled ? widget.activate() : widget.deactivate();
  MirrorContent(control);
}

void DialogWindow::MirrorContent(const Control& control) {
  const bool addressed = control.id != 0 && dialog_ != nullptr;
  const std::string text = addressed ? Utf8(dialog_->GetItemText(control.id)) : control.templateText;
  Fl_Widget& widget = *control.widget;
  switch (control.kind) {
    case ControlKind::kLabel:
      static_cast<SurfaceLabel&>(widget).SetText(text);
      return;
    case ControlKind::kGroupBox:
      static_cast<GroupFrame&>(widget).SetText(text);
      return;
    case ControlKind::kEdit:
    case ControlKind::kPasswordEdit:
      SetInputText(static_cast<Fl_Input&>(widget), text);
      return;
    case ControlKind::kCheckBox:
      static_cast<Fl_Button&>(widget).value(addressed && dialog_->GetCheck(control.id) ? 1 : 0);
      SetButtonText(widget, text);
      return;
    case ControlKind::kButton:
    case ControlKind::kDefaultButton:
      SetButtonText(widget, text);
      return;
    case ControlKind::kListBox:
      if (addressed) MirrorList(control);
      return;
    case ControlKind::kIpAddress: {
      if (!addressed) return;
      auto& address = static_cast<IpAddressInput&>(widget);
      const uint32_t value = dialog_->GetAddress(control.id);
      // A new control and one the user is typing in keep blank fields blank; a
      // program write shows all four numbers.
      const bool lenient = building_ || reporting_ == control.id;
      const bool current = lenient ? address.Address() == value : address.Shows(value);
      if (!current) address.SetAddress(value);
      return;
    }
    case ControlKind::kPicture:
    case ControlKind::kImageButton:
      return;
  }
}

// The dialog already keeps its lines in list order; they are shown as they are.
void DialogWindow::MirrorList(const Control& control) {
  auto& list = static_cast<ListBox&>(*control.widget);
  const int count = dialog_->ListGetCount(control.id);
  std::vector<std::string> lines;
  bool same = list.size() == count;
  for (int line = 0; line < count; ++line) {
    lines.push_back(Utf8(dialog_->ListGetText(control.id, line)));
    if (same && lines.back() != list.text(line + 1)) same = false;
  }
  if (!same) {
    const int top = list.topline();
    list.clear();
    for (const std::string& line : lines) list.add(line.c_str());
    list.topline(std::min(top, std::max(1, count)));
  }
  const int selection = dialog_->ListGetCurSel(control.id);
  if (selection < 0) {
    if (list.value() != 0) list.deselect();
    return;
  }
  if (list.value() != selection + 1) list.select(selection + 1);
  if (!list.displayed(selection + 1)) list.make_visible(selection + 1);
}

// Enter and Escape belong to the dialog, before FLTK's groups would use Enter to
// move the focus on.
int DialogWindow::handle(int event) {
  if (event == FL_SHORTCUT && dialog_ != nullptr) {
    const int key = Fl::event_key();
    if (key == FL_Enter || key == FL_KP_Enter) {
      PressEnter();
      return 1;
    }
    if (key == FL_Escape) {
      dialog_->UserPressEscape();
      return 1;
    }
  }
  return BackdropWindow::handle(event);
}

// A push button with the focus takes Enter itself; otherwise the default button
// does, or OK when it cannot.
void DialogWindow::PressEnter() {
  const Control* focused = FindWidget(Fl::focus());
  if (focused != nullptr && focused->id != 0 &&
      (focused->kind == ControlKind::kButton || focused->kind == ControlKind::kImageButton)) {
    Report(*focused);
    return;
  }
  dialog_->UserPressEnter();
}

void DialogWindow::Report(const Control& control) {
  Dialog& dialog = *dialog_;
  const int id = control.id;
  const int outer = reporting_;
  reporting_ = id;
  switch (control.kind) {
    case ControlKind::kEdit:
    case ControlKind::kPasswordEdit:
      dialog.UserEditText(id, platform::Utf8ToLatin1(static_cast<Fl_Input*>(control.widget)->value()));
      break;
    case ControlKind::kButton:
    case ControlKind::kDefaultButton:
    case ControlKind::kImageButton:
    case ControlKind::kCheckBox:
      dialog.UserClick(id);
      break;
    case ControlKind::kListBox: {
      // A click below the last line selects nothing; the selection stays.
      const int index = static_cast<ListBox*>(control.widget)->value() - 1;
      if (index >= 0 && index != dialog.ListGetCurSel(id)) dialog.UserSelectLine(id, index);
      break;
    }
    case ControlKind::kIpAddress:
      dialog.UserSetAddress(id, static_cast<IpAddressInput*>(control.widget)->Address());
      break;
    case ControlKind::kLabel:
    case ControlKind::kPicture:
    case ControlKind::kGroupBox:
      break;
  }
  // The dialog may have refused the change (a disabled control): show its state.
  if (dialog_ != nullptr) Mirror(control);
  reporting_ = outer;
}

const DialogWindow::Control* DialogWindow::Find(int id) const {
  if (id == 0) return nullptr;
  for (const Control& control : controls_) {
    if (control.id == id) return &control;
  }
  return nullptr;
}

const DialogWindow::Control* DialogWindow::FindWidget(const Fl_Widget* widget) const {
  for (const Control& control : controls_) {
    if (control.widget == widget) return &control;
  }
  return nullptr;
}

void DialogWindow::WidgetCallback(Fl_Widget* widget, void* data) {
  auto* self = static_cast<DialogWindow*>(data);
  const Control* control = self->FindWidget(widget);
  if (control == nullptr || control->id == 0 || self->dialog_ == nullptr) return;
  self->Report(*control);
}

// The close box. Escape is handled as a key; a dialog without a close box ignores
// a close request from the window manager.
void DialogWindow::CloseCallback(Fl_Widget* widget, void* data) {
  (void)widget;
  auto* self = static_cast<DialogWindow*>(data);
  if (self->dialog_ == nullptr || (self->style_ & kDialogNoClose) != 0) return;
  self->dialog_->UserPressEscape();
}

}  // namespace ui::fltk
