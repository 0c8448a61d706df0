#include "app/main_dialog.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "app/dialog_templates.h"
#include "app/login_record.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/named_mutex.h"
#include "platform/network_tables.h"
#include "ui/headless/headless_toolkit.h"

namespace {

namespace fs = std::filesystem;

class NoAddresses : public platform::NetworkTables {
 public:
  bool Adapters(std::vector<platform::HardwareAddress>* out) override {
    out->clear();
    return true;
  }
  bool IPv4Addresses(std::vector<platform::AddressRow>* out) override {
    out->clear();
    return true;
  }
};

class MainDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tw-main-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
    folderOverride_ = std::make_unique<platform::ScopedProgramFolderOverride>(folder_);
    setenv("XDG_RUNTIME_DIR", folder_.c_str(), 1);
    ui::SetToolkit(&toolkit_);
  }
  void TearDown() override {
    ui::SetToolkit(nullptr);
    demoMode = 0;
    folderOverride_.reset();
    fs::remove_all(folder_);
  }
  // LOGIN.DAT remembering "Quorvex: 12-34-56" with the password "pw".
  void RememberLogin(int optionsExpanded = 0) {
    LoginRecord record;
    record.systemName = "Quorvex: 12-34-56";
    record.password = "pw";
    record.optionsExpanded = optionsExpanded;
    record.rememberLogin = 1;
    ASSERT_TRUE(WriteLoginRecord(folder_ + "/LOGIN.DAT", record, true));
  }
  // A line as discovery adds it.
  static void AddSystem(CDiRIRUVDlg& dialog, const std::string& name, uint8_t type = 2) {
    auto* entry = new LocalSystemEntry;
    entry->name = name;
    entry->address = 0x1401A8C0;
    entry->port = 80;
    entry->gatewayType = type;
    const int index = dialog.LocalSystems().AddLine(entry->LineText());
    dialog.LocalSystems().SetEntry(index, entry);
  }
  static int LineOf(CDiRIRUVDlg& dialog, const std::string& name) {
    for (int i = 0; i < dialog.ListGetCount(IDC_LOCAL_SYSTEMS); ++i) {
      if (static_cast<LocalSystemEntry*>(dialog.ListGetItemData(IDC_LOCAL_SYSTEMS, i))->name == name) return i;
    }
    return -1;
  }

  std::string folder_;
  std::unique_ptr<platform::ScopedProgramFolderOverride> folderOverride_;
  NoAddresses tables_;
  platform::ScopedNetworkTablesOverride useTables_{&tables_};
  ui::HeadlessToolkit toolkit_;
};

TEST_F(MainDialogTest, OptionsStateComesFromTheRememberedLogin) {
  {
    CDiRIRUVDlg dialog("", "");
    ASSERT_TRUE(dialog.Create());
    EXPECT_EQ(dialog.GetItemText(IDC_OPTIONS), "Options >>");
    EXPECT_EQ(dialog.GetWindowRect().bottom, dialog.GetItemRect(IDC_OPTIONS).bottom + 11);
    EXPECT_EQ(dialog.GetItemText(IDC_VERSION), "5.2 Build 738.0 Rel");
    EXPECT_EQ(dialog.GetItemText(IDC_BOTTOM_LINE), "Tidewatcher Connect : 5.2 Build 738.0 Rel");
  }
  RememberLogin(1);
  CDiRIRUVDlg dialog("", "");
  ASSERT_TRUE(dialog.Create());
  EXPECT_EQ(dialog.GetItemText(IDC_OPTIONS), "Options <<");
  EXPECT_EQ(dialog.GetWindowRect().bottom, dialog.GetItemRect(IDC_LOCAL_SYSTEMS).bottom + 11);
  EXPECT_EQ(dialog.GetItemText(IDC_SYSTEM_NAME), "Quorvex: 12-34-56");
  EXPECT_EQ(dialog.GetItemText(IDC_PASSWORD), "pw");
  EXPECT_TRUE(dialog.GetCheck(IDC_REMEMBER));
  dialog.UserClick(IDC_OPTIONS);
  EXPECT_EQ(dialog.GetItemText(IDC_OPTIONS), "Options >>");
}

TEST_F(MainDialogTest, ASystemNameOnTheCommandLineSkipsTheRememberedLogin) {
  RememberLogin();
  CDiRIRUVDlg dialog("Quorvex: 65-43-21", "other");
  ASSERT_TRUE(dialog.Create());
  EXPECT_EQ(dialog.GetItemText(IDC_SYSTEM_NAME), "Quorvex: 65-43-21");
  EXPECT_EQ(dialog.GetItemText(IDC_PASSWORD), "other");
  EXPECT_TRUE(dialog.rememberedName.empty());
}

TEST_F(MainDialogTest, SelectingALineBringsBackOnlyTheRememberedPassword) {
  RememberLogin();
  CDiRIRUVDlg dialog("", "");
  ASSERT_TRUE(dialog.Create());
  AddSystem(dialog, "Quorvex: 12-34-56");
  AddSystem(dialog, "Quorvex: 99-99-99");

  dialog.UserSelectLine(IDC_LOCAL_SYSTEMS, LineOf(dialog, "Quorvex: 99-99-99"));
  EXPECT_EQ(dialog.GetItemText(IDC_SYSTEM_NAME), "Quorvex: 99-99-99");
  EXPECT_EQ(dialog.GetItemText(IDC_PASSWORD), "");
  EXPECT_TRUE(dialog.IsItemEnabled(IDC_CONFIGURE_IP));

  dialog.UserSelectLine(IDC_LOCAL_SYSTEMS, LineOf(dialog, "Quorvex: 12-34-56"));
  EXPECT_EQ(dialog.GetItemText(IDC_PASSWORD), "pw");
}

TEST_F(MainDialogTest, TypingFollowsTheListAndThePasswordRules) {
  RememberLogin();
  CDiRIRUVDlg dialog("", "");
  ASSERT_TRUE(dialog.Create());
  AddSystem(dialog, "Quorvex: 12-34-56");

  // Another letter case selects the line but does not bring the password back.
  dialog.UserEditText(IDC_SYSTEM_NAME, "quorvex: 12-34-56");
  EXPECT_EQ(dialog.ListGetCurSel(IDC_LOCAL_SYSTEMS), LineOf(dialog, "Quorvex: 12-34-56"));
  EXPECT_EQ(dialog.GetItemText(IDC_PASSWORD), "");

  dialog.UserEditText(IDC_SYSTEM_NAME, "Quorvex: 12-34-56");
  EXPECT_EQ(dialog.GetItemText(IDC_PASSWORD), "pw");

  dialog.UserEditText(IDC_SYSTEM_NAME, "Quorvex: 12-34-5");
  EXPECT_EQ(dialog.ListGetCurSel(IDC_LOCAL_SYSTEMS), -1);
  EXPECT_EQ(dialog.GetItemText(IDC_PASSWORD), "");
  EXPECT_EQ(dialog.GetItemText(IDC_SYSTEM_NAME), "Quorvex: 12-34-5");  // the typed name is kept
}

TEST_F(MainDialogTest, StartFollowsTheViewerMutexWithinOneTickConfigureDoesNot) {
  platform::MovableClock clock;
  platform::ScopedClockOverride useClock(&clock);
  CDiRIRUVDlg dialog("", "");
  ASSERT_TRUE(dialog.Create());
  {
    platform::NamedMutexHolder viewer;
    ASSERT_TRUE(viewer.Acquire("ClearslateMutex"));
    dialog.TimerWork();
    EXPECT_FALSE(dialog.IsItemEnabled(IDC_START));
    EXPECT_TRUE(dialog.IsItemEnabled(IDC_CONFIGURE));
  }
  dialog.TimerWork();
  EXPECT_TRUE(dialog.IsItemEnabled(IDC_START));
}

TEST_F(MainDialogTest, DemoModeDisablesTheFieldsAndTheTimerDoesNothing) {
  demoMode = 1;
  CDiRIRUVDlg dialog("", "");
  ASSERT_TRUE(dialog.Create());
  for (int id : {IDC_SYSTEM_NAME, IDC_PASSWORD, IDC_REMEMBER, IDC_LOCAL_SYSTEMS}) EXPECT_FALSE(dialog.IsItemEnabled(id));
  EXPECT_TRUE(dialog.IsItemEnabled(IDC_START));
  EXPECT_TRUE(dialog.IsItemEnabled(IDC_CONFIGURE));
  platform::NamedMutexHolder viewer;
  ASSERT_TRUE(viewer.Acquire("ClearslateMutex"));
  dialog.TimerWork();
  EXPECT_TRUE(dialog.IsItemEnabled(IDC_START));  // no probe in demo mode
}

TEST_F(MainDialogTest, OwnClientCopiesMoveIntoTheVersionFolderOnce) {
  std::ofstream(folder_ + "/CLEARSLATE.EXE") << "viewer";
  std::ofstream(folder_ + "/ZIP.CSV") << "zip";
  {
    CDiRIRUVDlg dialog("", "");
    ASSERT_TRUE(dialog.Create());
  }
  EXPECT_TRUE(fs::exists(folder_ + "/5_2_738_0/CLEARSLATE.EXE"));
  EXPECT_TRUE(fs::exists(folder_ + "/5_2_738_0/ZIP.CSV"));
  EXPECT_FALSE(fs::exists(folder_ + "/CLEARSLATE.EXE"));

  // A copy already in place is never replaced.
  std::ofstream(folder_ + "/CLEARSLATE.EXE") << "newer";
  {
    CDiRIRUVDlg dialog("", "");
    ASSERT_TRUE(dialog.Create());
  }
  EXPECT_TRUE(fs::exists(folder_ + "/CLEARSLATE.EXE"));
  std::ifstream kept(folder_ + "/5_2_738_0/CLEARSLATE.EXE");
  std::string content;
  kept >> content;
  EXPECT_EQ(content, "viewer");
}

TEST_F(MainDialogTest, EnterNeverClosesTheDialogEscapeDoes) {
  CDiRIRUVDlg dialog("", "");
  ASSERT_TRUE(dialog.Create());
  dialog.EnableItem(IDC_START, false);
  dialog.UserPressEnter();
  EXPECT_FALSE(dialog.IsEnded());
  dialog.UserPressEscape();
  EXPECT_TRUE(dialog.IsEnded());
}

}  // namespace
