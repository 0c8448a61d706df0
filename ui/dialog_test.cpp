#include "ui/dialog.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/clock.h"
#include "ui/headless/headless_toolkit.h"

namespace {

constexpr int kName = 10, kList = 11, kCheck = 12, kDefault = 13, kOther = 14, kAddress = 15;

ui::DialogTemplate TestTemplate() {
  ui::DialogTemplate t;
  t.caption = "Test";
  t.width = 200;
  t.height = 100;
  t.controls = {
      {kName, ui::ControlKind::kEdit, "", 10, 10, 50, 12, ui::kStyleNone, ui::Artwork::kNone},
      {kList, ui::ControlKind::kListBox, "", 10, 30, 80, 40, ui::kStyleSorted | ui::kStyleNotify, ui::Artwork::kNone},
      {kCheck, ui::ControlKind::kCheckBox, "Remember", 10, 80, 50, 10, ui::kStyleNone, ui::Artwork::kNone},
      {kDefault, ui::ControlKind::kDefaultButton, "Go", 100, 10, 40, 14, ui::kStyleNone, ui::Artwork::kNone},
      {kOther, ui::ControlKind::kButton, "Other", 100, 30, 40, 14, ui::kStyleDisabled, ui::Artwork::kNone},
      {kAddress, ui::ControlKind::kIpAddress, "", 100, 50, 60, 12, ui::kStyleNone, ui::Artwork::kNone},
  };
  return t;
}

class RecordingDialog : public ui::Dialog {
 public:
  RecordingDialog() : ui::Dialog(TestTemplate()) {}
  void DoDataExchange(ui::DataExchange& exchange) override {
    exchange.Text(kName, name);
    exchange.Check(kCheck, remember);
    exchange.Address(kAddress, address);
  }
  void OnCommand(int id, ui::Notification notification) override { commands.push_back({id, notification}); }
  void OnOK() override { ++okCount; }
  void OnTimer(int id) override {
    ticks.push_back(id);
    if (ticks.size() == 3) EndDialog(42);
  }

  std::string name;
  int remember = 0;
  uint32_t address = 0;
  std::vector<std::pair<int, ui::Notification>> commands;
  std::vector<int> ticks;
  int okCount = 0;
};

TEST(DialogTest, NotificationsFireForTheUserNotForTheProgram) {
  RecordingDialog dialog;
  dialog.SetItemText(kName, "typed by the program");
  dialog.ListAddString(kList, "line");
  dialog.ListSetCurSel(kList, 0);
  dialog.SetCheck(kCheck, true);
  EXPECT_TRUE(dialog.commands.empty());

  dialog.UserEditText(kName, "typed");
  dialog.UserSelectLine(kList, 0);
  dialog.UserClick(kCheck);
  ASSERT_EQ(dialog.commands.size(), 3u);
  EXPECT_EQ(dialog.commands[0], std::make_pair(kName, ui::Notification::kEditChanged));
  EXPECT_EQ(dialog.commands[1], std::make_pair(kList, ui::Notification::kSelectionChanged));
  EXPECT_EQ(dialog.commands[2], std::make_pair(kCheck, ui::Notification::kClicked));
  EXPECT_FALSE(dialog.GetCheck(kCheck));  // the user's click toggled it

  dialog.UserClick(kOther);  // disabled: nothing happens
  EXPECT_EQ(dialog.commands.size(), 3u);
}

TEST(DialogTest, DataExchangeMovesValuesBothWays) {
  RecordingDialog dialog;
  dialog.name = "Quorvex: 12-34-56";
  dialog.remember = 1;
  dialog.address = 0xC0A8010A;
  dialog.UpdateData(false);
  EXPECT_EQ(dialog.GetItemText(kName), "Quorvex: 12-34-56");
  EXPECT_TRUE(dialog.GetCheck(kCheck));
  dialog.UserEditText(kName, "other");
  dialog.UserSetAddress(kAddress, 0);
  dialog.UpdateData(true);
  EXPECT_EQ(dialog.name, "other");
  EXPECT_EQ(dialog.address, 0u);
}

TEST(DialogTest, SortedListKeepsOrderDataAndSelection) {
  RecordingDialog dialog;
  int a = 1, b = 2;
  dialog.ListSetItemData(kList, dialog.ListAddString(kList, "beta"), &b);
  dialog.ListSetCurSel(kList, 0);
  EXPECT_EQ(dialog.ListAddString(kList, "Alpha"), 0);
  dialog.ListSetItemData(kList, 0, &a);
  EXPECT_EQ(dialog.ListGetCurSel(kList), 1);  // the selection stays on "beta"
  EXPECT_EQ(dialog.ListGetText(kList, 1), "beta");
  EXPECT_EQ(dialog.ListGetItemData(kList, 1), &b);
  EXPECT_TRUE(dialog.ListDeleteString(kList, 1));
  EXPECT_EQ(dialog.ListGetCurSel(kList), -1);
  EXPECT_EQ(dialog.ListGetItemData(kList, 0), &a);
  EXPECT_FALSE(dialog.ListDeleteString(kList, 5));
}

TEST(DialogTest, EnterPressesTheDefaultButtonOnlyWhileItIsEnabled) {
  RecordingDialog dialog;
  dialog.UserPressEnter();
  EXPECT_EQ(dialog.commands.back(), std::make_pair(kDefault, ui::Notification::kClicked));
  dialog.EnableItem(kDefault, false);
  dialog.UserPressEnter();
  EXPECT_EQ(dialog.okCount, 1);
}

TEST(DialogTest, GeometryFollowsDialogUnits) {
  RecordingDialog dialog;
  const ui::Rect window = dialog.GetWindowRect();
  EXPECT_EQ(window.Width(), 300);
  EXPECT_EQ(window.Height(), 163);
  const ui::Rect list = dialog.GetItemRect(kList);
  EXPECT_EQ(list.top - window.top, 49);
  EXPECT_EQ(list.Height(), 65);
  dialog.SetWindowSize(300, list.bottom - window.top + 15);
  EXPECT_EQ(dialog.GetWindowRect().bottom, list.bottom + 15);
}

TEST(DialogTest, ModalRunFiresTimersOnTheClockUntilEnded) {
  platform::MovableClock clock;
  platform::ScopedClockOverride useClock(&clock);
  RecordingDialog dialog;
  dialog.SetTimer(1, 300);
  const uint32_t start = clock.TickMs();
  EXPECT_EQ(dialog.DoModal(), 42);
  EXPECT_EQ(dialog.ticks, (std::vector<int>{1, 1, 1}));
  EXPECT_GE(ElapsedMs(start), 900u);
  EXPECT_LT(ElapsedMs(start), 1000u);
}

TEST(DialogTest, PostedWorkRunsInsideTheLoop) {
  ui::HeadlessToolkit toolkit;
  ui::SetToolkit(&toolkit);
  RecordingDialog dialog;
  toolkit.Post([&] { dialog.UserEditText(kName, "x"); });
  toolkit.Post([&] { dialog.UserPressEscape(); });
  EXPECT_EQ(dialog.DoModal(), ui::kIdCancel);
  EXPECT_EQ(dialog.GetItemText(kName), "x");
  ui::SetToolkit(nullptr);
}

}  // namespace
