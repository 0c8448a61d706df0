// A dialog: a window made from a template, its controls addressed by id, and the
// handlers the program overrides. Control state (texts, checks, list lines with
// their data, selection, enabled state) lives here, not in the back-end, so the
// same dialog code runs in the window and headless.
//
// Change notifications (OnCommand) fire for what the user does (the User*
// functions, called by the window back-end, the tests and the headless command),
// never for the program's own writes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ui/dialog_template.h"
#include "ui/toolkit.h"

namespace ui {

enum class Notification { kClicked, kEditChanged, kSelectionChanged };

class DataExchange;

class Dialog {
 public:
  explicit Dialog(const DialogTemplate& dialogTemplate, Dialog* parent = nullptr);
  virtual ~Dialog();
  Dialog(const Dialog&) = delete;
  Dialog& operator=(const Dialog&) = delete;

  // Creates the window, runs OnInitDialog, shows it and handles events until
  // EndDialog; returns EndDialog's result, or -1 when no window could be made.
  int DoModal();
  // Modeless: creates the window (hidden) and runs OnInitDialog. False when no
  // window could be made.
  bool Create();
  void DestroyWindow();
  bool HasWindow() const { return window_ != nullptr; }
  void EndDialog(int result);
  bool IsEnded() const { return ended_; }
  int Result() const { return result_; }
  void ShowWindow(bool visible);
  bool IsWindowVisible() const { return visible_; }

  virtual void DoDataExchange(DataExchange& exchange);
  // Base: copies the members into the controls; true.
  virtual bool OnInitDialog();
  // Base: reads the controls and ends the dialog with kIdOk.
  virtual void OnOK();
  virtual void OnCancel();
  virtual void OnCommand(int id, Notification notification);
  virtual void OnTimer(int timerId);

  // save: controls into members; otherwise members into controls.
  bool UpdateData(bool save);

  bool HasControl(int id) const;
  ControlKind KindOf(int id) const;
  void SetItemText(int id, const std::string& text);
  std::string GetItemText(int id) const;
  void EnableItem(int id, bool enable);
  bool IsItemEnabled(int id) const;
  void ShowItem(int id, bool visible);
  bool IsItemVisible(int id) const;
  void SetCheck(int id, bool checked);
  bool GetCheck(int id) const;
  // IP-address control: first number in the most significant byte; a blank
  // control gives 0.
  void SetAddress(int id, uint32_t value);
  uint32_t GetAddress(int id) const;

  // List boxes. A sorted list inserts in list order; returns the new index, -1 when refused.
  int ListAddString(int id, const std::string& text);
  bool ListDeleteString(int id, int index);
  int ListGetCount(int id) const;
  std::string ListGetText(int id, int index) const;
  void ListSetItemData(int id, int index, void* data);
  void* ListGetItemData(int id, int index) const;
  // -1 clears the selection.
  void ListSetCurSel(int id, int index);
  int ListGetCurSel(int id) const;

  // Pixel geometry. The window rectangle is the client area at its screen
  // position; control rectangles are in the same (screen) coordinates.
  Rect GetWindowRect() const;
  Rect GetItemRect(int id) const;
  void SetWindowSize(int width, int height);
  void Invalidate();
  void RedrawNow();

  void SetTimer(int timerId, int periodMs);
  void KillTimer(int timerId);
  void FireTimer(int timerId);

  // What the user does. Ignored on disabled or hidden controls, as a window would.
  void UserClick(int id);
  void UserEditText(int id, const std::string& text);
  void UserSelectLine(int id, int index);
  void UserSetAddress(int id, uint32_t value);
  // Enter presses the default button when it is enabled, else runs OnOK;
  // Escape and the close box run OnCancel.
  void UserPressEnter();
  void UserPressEscape();

  const DialogTemplate& Template() const { return template_; }
  Dialog* Parent() const { return parent_; }
  WindowBackend* Window() const { return window_.get(); }

 private:
  struct ListLine {
    std::string text;
    void* data = nullptr;
  };
  struct Control {
    ControlTemplate source;
    std::string text;
    bool enabled = true;
    bool visible = true;
    bool checked = false;
    uint32_t address = 0;
    std::vector<ListLine> lines;
    int selection = -1;
  };

  Control* Find(int id);
  const Control* Find(int id) const;
  Control* FindUsable(int id);
  void Changed(int id);

  DialogTemplate template_;
  Dialog* parent_;
  std::vector<Control> controls_;
  std::unique_ptr<WindowBackend> window_;
  Rect windowRect_;
  bool ended_ = false;
  bool visible_ = false;
  int result_ = 0;
};

// Binds controls to members for UpdateData.
class DataExchange {
 public:
  DataExchange(Dialog& dialog, bool save) : dialog_(dialog), save_(save) {}
  bool IsSaving() const { return save_; }
  void Text(int id, std::string& value);
  void Check(int id, int& value);
  void Address(int id, uint32_t& value);

 private:
  Dialog& dialog_;
  bool save_;
};

// A message box on the current toolkit.
int MessageBox(const std::string& text, const std::string& caption = "Tidewatcher Connect",
               MessageBoxButtons buttons = MessageBoxButtons::kOk, MessageBoxIcon icon = MessageBoxIcon::kNone);

// Shows the wait cursor for its lifetime.
class WaitCursor {
 public:
  WaitCursor() { CurrentToolkit().SetWaitCursor(true); }
  ~WaitCursor() { CurrentToolkit().SetWaitCursor(false); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
};

}  // namespace ui
