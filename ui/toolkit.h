// The seam between the dialogs and whatever shows them. A Toolkit makes one
// WindowBackend per dialog and runs the event loop; the dialogs keep all control
// state themselves (dialog.h), so the headless back-end is only bookkeeping and the
// window back-end only mirrors that state and reports what the user does.
#pragma once

#include <memory>
#include <string>

namespace ui {

class Dialog;

struct Rect {
  int left = 0, top = 0, right = 0, bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
};

// The window of one dialog.
class WindowBackend {
 public:
  virtual ~WindowBackend() = default;
  virtual void Show(bool visible) = 0;
  // The program changed control `id`: text, enabled state, check, lines,
  // selection, address or visibility. Never reported back as a user change.
  virtual void ControlChanged(int id) = 0;
  // The dialog's window rectangle changed.
  virtual void GeometryChanged() = 0;
  // Repaint later, or at once (the caller is busy and will not return to the loop).
  virtual void Invalidate() = 0;
  virtual void RedrawNow() = 0;
  // A modal dialog keeps the user away from its owner until it ends.
  virtual void SetModal(bool modal) { (void)modal; }
};

enum class MessageBoxButtons { kOk, kOkCancel, kYesNo };
enum class MessageBoxIcon { kNone, kInformation, kWarning, kError };

class Toolkit {
 public:
  virtual ~Toolkit() = default;
  // A hidden window for the dialog; null when none can be made.
  virtual std::unique_ptr<WindowBackend> CreateWindow(Dialog& dialog) = 0;
  // Handles events for at most `ms` milliseconds (the headless back-end lets the
  // time pass on the current clock).
  virtual void WaitForEvents(int ms) = 0;
  // Handles at most one pending event of any window; true when there was one.
  virtual bool PumpOneEvent() = 0;
  // Modal; returns kIdOk, kIdCancel, or the id of Yes (6) / No (7).
  virtual int MessageBox(const std::string& text, const std::string& caption, MessageBoxButtons buttons,
                         MessageBoxIcon icon) = 0;
  virtual void SetWaitCursor(bool on) = 0;
  // Height of the desktop in pixels; 0 when unknown.
  virtual int ScreenHeight() = 0;
};

// The toolkit in use; a headless one until SetToolkit is called.
Toolkit& CurrentToolkit();
// Not owned; the caller keeps it alive while it is in use. Null restores the default.
void SetToolkit(Toolkit* toolkit);

constexpr int kIdYes = 6;
constexpr int kIdNo = 7;

// Every dialog's timers, shared by all event loops: a tick that falls due while a
// message box or another dialog is modal still fires, as window timers do.
// Fires each due timer once; returns how many fired.
int RunDueTimers();
// Milliseconds until the next timer falls due; `cap` when none does sooner.
int MsUntilNextTimer(int cap);
// Fires the single most overdue timer, if any; true when one fired.
bool RunOneDueTimer();

}  // namespace ui
