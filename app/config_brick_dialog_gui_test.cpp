// "Configure IP Information" in the window back-end, on a virtual display of its
// own: the four address controls show the record, and what the user does there
// comes back into it. A screenshot lands in artifacts/ under the build folder.
// GoogleTest before the X headers, whose macros (None, Bool) it would trip over.
#include <gtest/gtest.h>

#include "app/config_brick_dialog.h"

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Window.H>
#include <FL/x.H>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/dialog_templates.h"
#include "ui/fltk/fltk_toolkit.h"
#include "ui/fltk/fltk_window.h"
#include "ui/fltk/ip_address_input.h"
#include "ui/fltk/virtual_display.h"
#include "ui/fltk/window_capture.h"

namespace {

::testing::Environment* const kDisplay = ::testing::AddGlobalTestEnvironment(new ui::testing::VirtualDisplay);

constexpr int kAddressIds[] = {IDC_IP_ADDRESS, IDC_SUBNET_MASK, IDC_DEFAULT_GATEWAY, IDC_DNS_SERVER};
constexpr uint32_t kReceived[] = {0x0A4D0114, 0xFFFFFF00, 0x0A4D0101, 0x0A4D0102};

ui::FltkWindow& Backend(const ui::Dialog& dialog) { return *dynamic_cast<ui::FltkWindow*>(dialog.Window()); }

template <class Widget>
Widget* WidgetOf(const ui::Dialog& dialog, int id) {
  return dynamic_cast<Widget*>(Backend(dialog).ControlWidget(id));
}

// Pumps until the window is on the screen and painted.
void Settle(Fl_Window& window) {
  int viewable = 0;
  for (int i = 0; i < 300 && viewable < 5; ++i) {
    Fl::wait(0.01);
    XWindowAttributes attributes;
    if (window.shown() && XGetWindowAttributes(fl_display, fl_xid(&window), &attributes) != 0 &&
        attributes.map_state == IsViewable && window.damage() == 0) {
      ++viewable;
    }
  }
  XSync(fl_display, False);
  Fl::check();
}

void Click(const ui::Dialog& dialog, int id) { WidgetOf<Fl_Button>(dialog, id)->do_callback(); }

struct UserCase {
  const char* name;
  std::function<void(CConfigBrickDlg&)> act;
  int result;
  std::vector<uint32_t> addresses;  // the record's afterwards
};

class ConfigBrickWindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::string error;
    ASSERT_TRUE(ui::FltkToolkit::OpenDisplay(&error)) << error;
  }
  void SetUp() override { ui::SetToolkit(&toolkit_); }
  void TearDown() override {
    Fl::check();
    ui::SetToolkit(nullptr);
  }

  ui::FltkToolkit toolkit_;
};

struct Session {
  CConfigBrickDlg* dialog;
  const UserCase* user;
  bool screenshot;
};

// The user's turn, once the modal dialog runs its loop.
void UserTurn(void* data) {
  auto* session = static_cast<Session*>(data);
  CConfigBrickDlg& dialog = *session->dialog;
  Fl_Window& window = Backend(dialog).NativeWindow();
  Settle(window);
  EXPECT_STREQ(window.label(), "Configure IP Information");
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_TRUE(WidgetOf<ui::fltk::IpAddressInput>(dialog, kAddressIds[i])->Shows(kReceived[i])) << kAddressIds[i];
  }
  if (session->screenshot) {
    std::filesystem::create_directories(TW_ARTIFACTS_DIR);
    EXPECT_TRUE(ui::testing::WindowCapture(window).SavePng(std::string(TW_ARTIFACTS_DIR) + "/config_brick.png"));
  }
  session->user->act(dialog);
}

TEST_F(ConfigBrickWindowTest, TheControlsShowTheRecordAndTheButtonsWriteItBack) {
  const std::vector<UserCase> cases = {
      {"typed and OK",
       [](CConfigBrickDlg& d) {
         Fl_Input* first = WidgetOf<ui::fltk::IpAddressInput>(d, IDC_IP_ADDRESS)->Field(0);
         first->value("192");
         first->do_callback();
         Fl_Input* last = WidgetOf<ui::fltk::IpAddressInput>(d, IDC_DNS_SERVER)->Field(3);
         last->value("");  // a blank field counts as 0
         last->do_callback();
         Click(d, ui::kIdOk);
       },
       ui::kIdOk, {0xC04D0114, 0xFFFFFF00, 0x0A4D0101, 0x0A4D0100}},
      {"Set DHCP", [](CConfigBrickDlg& d) { Click(d, IDC_SET_DHCP); }, ui::kIdOk, {0, 0, 0, 0}},
      {"Cancel after typing",
       [](CConfigBrickDlg& d) {
         Fl_Input* first = WidgetOf<ui::fltk::IpAddressInput>(d, IDC_IP_ADDRESS)->Field(0);
         first->value("192");
         first->do_callback();
         Click(d, ui::kIdCancel);
       },
       ui::kIdCancel, {kReceived[0], kReceived[1], kReceived[2], kReceived[3]}},
  };
  bool first = true;
  for (const UserCase& user : cases) {
    SCOPED_TRACE(user.name);
    AdapterIpRecord record;
    for (size_t i = 0; i < sizeof record.bytes; ++i) record.bytes[i] = static_cast<uint8_t>(i);
    const AdapterIpRecord before = record;
    for (size_t i = 0; i < 4; ++i) SetRecordAddress(&record, 4 * i, kReceived[i]);
    CConfigBrickDlg dialog(&record, nullptr);
    Session session{&dialog, &user, first};
    first = false;
    Fl::add_timeout(0.0, UserTurn, &session);
    EXPECT_EQ(dialog.DoModal(), user.result);
    for (size_t i = 0; i < 4; ++i) EXPECT_EQ(GetRecordAddress(record, 4 * i), user.addresses[i]) << i;
    EXPECT_TRUE(std::equal(record.bytes + 16, record.bytes + sizeof record.bytes, before.bytes + 16));
  }
}

}  // namespace
