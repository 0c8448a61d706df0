#include "app/connect_dialog.h"

#include <gtest/gtest.h>

#include "app/dialog_templates.h"
#include "platform/clock.h"
#include "ui/headless/headless_toolkit.h"

namespace {

class ConnectDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::SetToolkit(&toolkit_);
    platform::LocalTime now;
    now.hour = 14;
    now.minute = 5;
    now.second = 9;
    clock_.SetNow(now);
  }
  void TearDown() override { ui::SetToolkit(nullptr); }

  ui::HeadlessToolkit toolkit_;
  platform::MovableClock clock_;
  platform::ScopedClockOverride useClock_{&clock_};
};

TEST_F(ConnectDialogTest, LinesShowSelectedRepaintedAndStamped) {
  CConnectDlg dialog;
  ASSERT_TRUE(dialog.Create());
  for (const char* line : {"Discovery Service: 127.0.0.1", "Connecting", "Running"}) dialog.ShowStatus(line);
  EXPECT_EQ(dialog.ListGetCount(IDC_PROGRESS_LINES), 3);
  EXPECT_EQ(dialog.ListGetText(IDC_PROGRESS_LINES, 0), "Discovery Service: 127.0.0.1");
  EXPECT_EQ(dialog.ListGetCurSel(IDC_PROGRESS_LINES), 2);
  EXPECT_EQ(toolkit_.RepaintCount(), 3);
  EXPECT_EQ(dialog.LogLines(), (std::vector<std::string>{"14:05:09 Discovery Service: 127.0.0.1",
                                                         "14:05:09 Connecting", "14:05:09 Running"}));
}

TEST_F(ConnectDialogTest, PollPumpsOneEventUntilCancelThenNothing) {
  CConnectDlg dialog;
  ASSERT_TRUE(dialog.Create());
  int ran = 0;
  toolkit_.Post([&] { ++ran; });
  toolkit_.Post([&] { dialog.UserClick(IDC_PROGRESS_CANCEL); });
  toolkit_.Post([&] { ++ran; });
  EXPECT_TRUE(dialog.Poll());
  EXPECT_EQ(ran, 1);
  EXPECT_TRUE(dialog.Poll());  // this one delivered the click
  EXPECT_TRUE(dialog.IsCancelled());
  EXPECT_FALSE(dialog.Poll());
  EXPECT_FALSE(dialog.Poll());
  EXPECT_EQ(ran, 1);  // nothing more dispatched through it
  EXPECT_TRUE(dialog.HasWindow());  // it never closes itself
  dialog.ShowStatus("still shown");
  EXPECT_EQ(dialog.ListGetCount(IDC_PROGRESS_LINES), 1);
}

}  // namespace
