// The toolkit without a window: dialogs keep their state and run their handlers,
// timers fire on the current clock, and what a window would show is offered to a
// handler (the `tidewatcher` command prints it; tests record it). Work can be
// posted to run inside the event loop, as a user's click would arrive.
#pragma once

#include <deque>
#include <functional>
#include <string>

#include "ui/toolkit.h"

namespace ui {

class HeadlessToolkit : public Toolkit {
 public:
  using MessageBoxHandler = std::function<int(const std::string& text, const std::string& caption)>;

  std::unique_ptr<WindowBackend> CreateWindow(Dialog& dialog) override;
  void WaitForEvents(int ms) override;
  bool PumpOneEvent() override;
  int MessageBox(const std::string& text, const std::string& caption, MessageBoxButtons buttons,
                 MessageBoxIcon icon) override;
  void SetWaitCursor(bool on) override { waitCursor_ = on; }
  int ScreenHeight() override { return screenHeight_; }

  // Runs `work` from the event loop, one item per pumped event, in order.
  void Post(std::function<void()> work) { posted_.push_back(std::move(work)); }
  size_t PendingCount() const { return posted_.size(); }
  // Default: the text goes to standard error as "tidewatcher: TEXT" and the box
  // answers OK.
  void SetMessageBoxHandler(MessageBoxHandler handler) { messageBoxHandler_ = std::move(handler); }
  bool IsWaitCursorShown() const { return waitCursor_; }
  void SetScreenHeight(int pixels) { screenHeight_ = pixels; }
  int RepaintCount() const { return repaints_; }
  void CountRepaint() { ++repaints_; }

 private:
  std::deque<std::function<void()>> posted_;
  MessageBoxHandler messageBoxHandler_;
  bool waitCursor_ = false;
  // Headless the screen is never small.
  int screenHeight_ = 1080;
  int repaints_ = 0;
};

}  // namespace ui
