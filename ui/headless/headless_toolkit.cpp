#include "ui/headless/headless_toolkit.h"

#include <cstdio>

#include "platform/clock.h"
#include "ui/dialog.h"

namespace ui {
namespace {

class HeadlessWindow : public WindowBackend {
 public:
  explicit HeadlessWindow(HeadlessToolkit& toolkit) : toolkit_(toolkit) {}
  void Show(bool visible) override { (void)visible; }
  void ControlChanged(int id) override { (void)id; }
  void GeometryChanged() override {}
  void Invalidate() override {}
  void RedrawNow() override { toolkit_.CountRepaint(); }

 private:
  HeadlessToolkit& toolkit_;
};

}  // namespace

std::unique_ptr<WindowBackend> HeadlessToolkit::CreateWindow(Dialog& dialog) {
  (void)dialog;
  return std::make_unique<HeadlessWindow>(*this);
}

void HeadlessToolkit::WaitForEvents(int ms) {
  if (PumpOneEvent()) return;
  if (ms > 0) platform::CurrentClock().Sleep(static_cast<uint32_t>(ms));
}

bool HeadlessToolkit::PumpOneEvent() {
  if (!posted_.empty()) {
    std::function<void()> work = std::move(posted_.front());
    posted_.pop_front();
    work();
    return true;
  }
  return RunOneDueTimer();
}

int HeadlessToolkit::MessageBox(const std::string& text, const std::string& caption, MessageBoxButtons buttons,
                                MessageBoxIcon icon) {
  (void)buttons;
  (void)icon;
  if (messageBoxHandler_) return messageBoxHandler_(text, caption);
  std::fprintf(stderr, "tidewatcher: %s\n", text.c_str());
  return kIdOk;
}

}  // namespace ui
