#include "ui/dialog.h"

#include <algorithm>

#include "ui/list_order.h"

namespace ui {
namespace {

constexpr int kDefaultLeft = 100;
constexpr int kDefaultTop = 100;
// Longest the modal loop waits between looks at its end flag and the timers.
constexpr int kLoopSliceMs = 100;

}  // namespace

// The timer table (timers.cpp).
void RegisterTimer(Dialog* dialog, int timerId, int periodMs);
void UnregisterTimer(Dialog* dialog, int timerId);
void UnregisterTimers(Dialog* dialog);

Dialog::Dialog(const DialogTemplate& dialogTemplate, Dialog* parent) : template_(dialogTemplate), parent_(parent) {
  for (const ControlTemplate& source : template_.controls) {
    Control control;
    control.source = source;
    control.text = source.text;
    control.enabled = (source.style & kStyleDisabled) == 0;
    controls_.push_back(control);
  }
  windowRect_.left = kDefaultLeft;
  windowRect_.top = kDefaultTop;
  windowRect_.right = kDefaultLeft + DialogUnitsToPixelsX(template_.width);
  windowRect_.bottom = kDefaultTop + DialogUnitsToPixelsY(template_.height);
}

Dialog::~Dialog() { UnregisterTimers(this); }

bool Dialog::Create() {
  ended_ = false;
  window_ = CurrentToolkit().CreateWindow(*this);
  if (!window_) return false;
  OnInitDialog();
  return true;
}

int Dialog::DoModal() {
  if (!Create()) return -1;
  window_->SetModal(true);
  if (!ended_) ShowWindow(true);
  Toolkit& toolkit = CurrentToolkit();
  while (!ended_) {
    toolkit.WaitForEvents(MsUntilNextTimer(kLoopSliceMs));
    RunDueTimers();
  }
  DestroyWindow();
  return result_;
}

void Dialog::DestroyWindow() {
  UnregisterTimers(this);
  window_.reset();
  visible_ = false;
}

void Dialog::EndDialog(int result) {
  result_ = result;
  ended_ = true;
}

void Dialog::ShowWindow(bool visible) {
  visible_ = visible;
  if (window_) window_->Show(visible);
}

void Dialog::DoDataExchange(DataExchange& exchange) { (void)exchange; }

bool Dialog::OnInitDialog() {
  UpdateData(false);
  return true;
}

void Dialog::OnOK() {
  if (UpdateData(true)) EndDialog(kIdOk);
}

void Dialog::OnCancel() { EndDialog(kIdCancel); }
void Dialog::OnCommand(int id, Notification notification) {
  (void)id;
  (void)notification;
}
void Dialog::OnTimer(int timerId) { (void)timerId; }

bool Dialog::UpdateData(bool save) {
  DataExchange exchange(*this, save);
  DoDataExchange(exchange);
  return true;
}

Dialog::Control* Dialog::Find(int id) {
  for (Control& control : controls_) {
    if (control.source.id == id && id != 0) return &control;
  }
  return nullptr;
}

const Dialog::Control* Dialog::Find(int id) const { return const_cast<Dialog*>(this)->Find(id); }

Dialog::Control* Dialog::FindUsable(int id) {
  Control* control = Find(id);
  return control != nullptr && control->enabled && control->visible ? control : nullptr;
}

void Dialog::Changed(int id) {
  if (window_) window_->ControlChanged(id);
}

bool Dialog::HasControl(int id) const { return Find(id) != nullptr; }
ControlKind Dialog::KindOf(int id) const {
  const Control* control = Find(id);
  return control != nullptr ? control->source.kind : ControlKind::kLabel;
}

void Dialog::SetItemText(int id, const std::string& text) {
  if (Control* control = Find(id)) {
    control->text = text;
    Changed(id);
  }
}

std::string Dialog::GetItemText(int id) const {
  const Control* control = Find(id);
  return control != nullptr ? control->text : std::string();
}

void Dialog::EnableItem(int id, bool enable) {
  Control* control = Find(id);
  if (control == nullptr || control->enabled == enable) return;
  control->enabled = enable;
  Changed(id);
}

bool Dialog::IsItemEnabled(int id) const {
  const Control* control = Find(id);
  return control != nullptr && control->enabled;
}

void Dialog::ShowItem(int id, bool visible) {
  Control* control = Find(id);
  if (control == nullptr || control->visible == visible) return;
  control->visible = visible;
  Changed(id);
}

bool Dialog::IsItemVisible(int id) const {
  const Control* control = Find(id);
  return control != nullptr && control->visible;
}

void Dialog::SetCheck(int id, bool checked) {
  if (Control* control = Find(id)) {
    control->checked = checked;
    Changed(id);
  }
}

bool Dialog::GetCheck(int id) const {
  const Control* control = Find(id);
  return control != nullptr && control->checked;
}

void Dialog::SetAddress(int id, uint32_t value) {
  if (Control* control = Find(id)) {
    control->address = value;
    Changed(id);
  }
}

uint32_t Dialog::GetAddress(int id) const {
  const Control* control = Find(id);
  return control != nullptr ? control->address : 0;
}

int Dialog::ListAddString(int id, const std::string& text) {
  Control* control = Find(id);
  if (control == nullptr || control->source.kind != ControlKind::kListBox) return -1;
  std::vector<ListLine>& lines = control->lines;
  auto at = lines.end();
  if ((control->source.style & kStyleSorted) != 0) {
    at = std::upper_bound(lines.begin(), lines.end(), text,
                          [](const std::string& value, const ListLine& line) { return ListOrderLess(value, line.text); });
  }
  const int index = static_cast<int>(at - lines.begin());
  lines.insert(at, ListLine{text, nullptr});
  if (control->selection >= index) ++control->selection;
  Changed(id);
  return index;
}

bool Dialog::ListDeleteString(int id, int index) {
  Control* control = Find(id);
  if (control == nullptr || index < 0 || index >= static_cast<int>(control->lines.size())) return false;
  control->lines.erase(control->lines.begin() + index);
  if (control->selection == index) {
    control->selection = -1;
  } else if (control->selection > index) {
    --control->selection;
  }
  Changed(id);
  return true;
}

int Dialog::ListGetCount(int id) const {
  const Control* control = Find(id);
  return control != nullptr ? static_cast<int>(control->lines.size()) : 0;
}

std::string Dialog::ListGetText(int id, int index) const {
  const Control* control = Find(id);
  if (control == nullptr || index < 0 || index >= static_cast<int>(control->lines.size())) return std::string();
  return control->lines[static_cast<size_t>(index)].text;
}

void Dialog::ListSetItemData(int id, int index, void* data) {
  Control* control = Find(id);
  if (control == nullptr || index < 0 || index >= static_cast<int>(control->lines.size())) return;
  control->lines[static_cast<size_t>(index)].data = data;
}

void* Dialog::ListGetItemData(int id, int index) const {
  const Control* control = Find(id);
  if (control == nullptr || index < 0 || index >= static_cast<int>(control->lines.size())) return nullptr;
  return control->lines[static_cast<size_t>(index)].data;
}

void Dialog::ListSetCurSel(int id, int index) {
  Control* control = Find(id);
  if (control == nullptr) return;
  control->selection = index >= 0 && index < static_cast<int>(control->lines.size()) ? index : -1;
  Changed(id);
}

int Dialog::ListGetCurSel(int id) const {
  const Control* control = Find(id);
  return control != nullptr ? control->selection : -1;
}

Rect Dialog::GetWindowRect() const { return windowRect_; }

Rect Dialog::GetItemRect(int id) const {
  Rect rect;
  const Control* control = Find(id);
  if (control == nullptr) return rect;
  rect.left = windowRect_.left + DialogUnitsToPixelsX(control->source.x);
  rect.top = windowRect_.top + DialogUnitsToPixelsY(control->source.y);
  rect.right = rect.left + DialogUnitsToPixelsX(control->source.width);
  rect.bottom = rect.top + DialogUnitsToPixelsY(control->source.height);
  return rect;
}

void Dialog::SetWindowSize(int width, int height) {
  windowRect_.right = windowRect_.left + width;
  windowRect_.bottom = windowRect_.top + height;
  if (window_) window_->GeometryChanged();
}

void Dialog::Invalidate() {
  if (window_) window_->Invalidate();
}

void Dialog::RedrawNow() {
  if (window_) window_->RedrawNow();
}

void Dialog::SetTimer(int timerId, int periodMs) { RegisterTimer(this, timerId, periodMs); }
void Dialog::KillTimer(int timerId) { UnregisterTimer(this, timerId); }
void Dialog::FireTimer(int timerId) { OnTimer(timerId); }

void Dialog::UserClick(int id) {
  Control* control = FindUsable(id);
  if (control == nullptr) return;
  if (control->source.kind == ControlKind::kCheckBox) {
    control->checked = !control->checked;
    Changed(id);
  }
  if (id == kIdCancel) {
    OnCancel();
  } else if (id == kIdOk) {
    OnOK();
  } else {
    OnCommand(id, Notification::kClicked);
  }
}

void Dialog::UserEditText(int id, const std::string& text) {
  Control* control = FindUsable(id);
  if (control == nullptr || control->text == text) return;
  control->text = text;
  Changed(id);
  OnCommand(id, Notification::kEditChanged);
}

void Dialog::UserSelectLine(int id, int index) {
  Control* control = FindUsable(id);
  if (control == nullptr || index < -1 || index >= static_cast<int>(control->lines.size())) return;
  control->selection = index;
  Changed(id);
  if ((control->source.style & kStyleNotify) != 0) OnCommand(id, Notification::kSelectionChanged);
}

void Dialog::UserSetAddress(int id, uint32_t value) {
  Control* control = FindUsable(id);
  if (control == nullptr) return;
  control->address = value;
  Changed(id);
  OnCommand(id, Notification::kEditChanged);
}

void Dialog::UserPressEnter() {
  for (const Control& control : controls_) {
    if (control.source.kind == ControlKind::kDefaultButton && control.enabled && control.visible) {
      UserClick(control.source.id);
      return;
    }
  }
  OnOK();
}

void Dialog::UserPressEscape() { OnCancel(); }

void DataExchange::Text(int id, std::string& value) {
  if (save_) {
    value = dialog_.GetItemText(id);
  } else {
    dialog_.SetItemText(id, value);
  }
}

void DataExchange::Check(int id, int& value) {
  if (save_) {
    value = dialog_.GetCheck(id) ? 1 : 0;
  } else {
    dialog_.SetCheck(id, value != 0);
  }
}

void DataExchange::Address(int id, uint32_t& value) {
  if (save_) {
    value = dialog_.GetAddress(id);
  } else {
    dialog_.SetAddress(id, value);
  }
}

int MessageBox(const std::string& text, const std::string& caption, MessageBoxButtons buttons, MessageBoxIcon icon) {
  return CurrentToolkit().MessageBox(text, caption, buttons, icon);
}

}  // namespace ui
