// GoogleTest before the X headers, whose macros (None, Bool) it would trip over.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ui/fltk/fltk_toolkit.h"

#include <FL/Fl.H>
#include <FL/Fl_Browser.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Secret_Input.H>
#include <FL/Fl_Window.H>
#include <FL/x.H>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "app/dialog_templates.h"
#include "platform/clock.h"
#include "platform/text_encoding.h"
#include "ui/dialog.h"
#include "ui/fltk/control_widgets.h"
#include "ui/fltk/fltk_window.h"
#include "ui/fltk/ip_address_input.h"
#include "ui/fltk/virtual_display.h"
#include "ui/fltk/window_capture.h"

extern char** environ;

namespace {

using ui::Notification;
using ui::testing::Pixel;
using ui::testing::WindowCapture;

::testing::Environment* const kDisplay = ::testing::AddGlobalTestEnvironment(new ui::testing::VirtualDisplay);

constexpr int kIpAddress = 1021, kSubnetMask = 1022;

// A dialog that records what reaches its handlers.
class RecordingDialog : public ui::Dialog {
 public:
  explicit RecordingDialog(const ui::DialogTemplate& source) : ui::Dialog(source) {}
  void OnCommand(int id, Notification notification) override {
    commands.emplace_back(id, notification);
    if (onCommand) onCommand(id);
  }
  void OnOK() override { ++okCount; }
  void OnCancel() override { ++cancelCount; }
  void OnTimer(int timerId) override {
    ++ticks;
    if (onTimer) onTimer(timerId);
  }

  std::vector<std::pair<int, Notification>> commands;
  std::function<void(int)> onCommand;
  std::function<void(int)> onTimer;
  int okCount = 0, cancelCount = 0, ticks = 0;
};

ui::DialogTemplate AddressTemplate() {
  ui::DialogTemplate t;
  t.caption = "Configure IP Information";
  t.width = 186;
  t.height = 133;
  t.controls = {
      {kIpAddress, ui::ControlKind::kIpAddress, "", 81, 32, 100, 15, ui::kStyleNone, ui::Artwork::kNone},
      {kSubnetMask, ui::ControlKind::kIpAddress, "", 81, 52, 100, 15, ui::kStyleNone, ui::Artwork::kNone},
      {ui::kIdOk, ui::ControlKind::kDefaultButton, "OK", 132, 115, 50, 14, ui::kStyleNone, ui::Artwork::kNone},
  };
  return t;
}

class FltkToolkitTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::string error;
    ASSERT_TRUE(ui::FltkToolkit::OpenDisplay(&error)) << error;
  }
  void SetUp() override { ui::SetToolkit(&toolkit_); }
  void TearDown() override {
    Fl::check();  // deletes the windows of the dialogs gone
    ui::SetToolkit(nullptr);
  }

  static ui::FltkWindow& Backend(const ui::Dialog& dialog) {
    auto* backend = dynamic_cast<ui::FltkWindow*>(dialog.Window());
    EXPECT_NE(backend, nullptr);
    return *backend;
  }
  static Fl_Window& Native(const ui::Dialog& dialog) { return Backend(dialog).NativeWindow(); }
  template <class Widget>
  static Widget* WidgetOf(const ui::Dialog& dialog, int id) {
    return dynamic_cast<Widget*>(Backend(dialog).ControlWidget(id));
  }

  // Pumps until the window is on the screen and painted.
  static void Settle(Fl_Window& window) {
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

  // A key as the X server would deliver it to `window`, with nothing under the mouse.
  static void PressKey(Fl_Window& window, int key) {
    static char enter[] = "\r", escape[] = "\033";
    Fl::belowmouse(nullptr);
    Fl::e_keysym = key;
    Fl::e_state = 0;
    Fl::e_text = key == FL_Escape ? escape : enter;
    Fl::e_length = 1;
    Fl::handle(FL_KEYBOARD, &window);
  }

  ui::FltkToolkit toolkit_;
};

// ---- without a display ------------------------------------------------------

struct NoDisplayCase {
  const char* name;
  const char* display;  // null: DISPLAY unset
  const char* message;
};

template <class Case>
std::string CaseName(const ::testing::TestParamInfo<Case>& info) {
  return info.param.name;
}

class NoDisplayTest : public ::testing::TestWithParam<NoDisplayCase> {};

TEST_P(NoDisplayTest, OpenDisplayFailsWithAMessageInsteadOfExiting) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");  // a child that never had the display open
  const NoDisplayCase c = GetParam();
  EXPECT_EXIT(
      {
        if (c.display == nullptr) {
          unsetenv("DISPLAY");
        } else {
          setenv("DISPLAY", c.display, 1);
        }
        std::string error;
        const bool opened = ui::FltkToolkit::OpenDisplay(&error);
        ui::FltkToolkit toolkit;
        ui::SetToolkit(&toolkit);
        ui::Dialog dialog(MainDialogTemplate());
        const int result = dialog.DoModal();
        std::fprintf(stderr, "error: %s; modal: %d\n", error.c_str(), result);
        std::exit(!opened && result == -1 && toolkit.ScreenHeight() == 0 ? 3 : 4);
      },
      ::testing::ExitedWithCode(3), c.message);
}

INSTANTIATE_TEST_SUITE_P(Displays, NoDisplayTest,
                         ::testing::Values(NoDisplayCase{"Unset", nullptr, "no X display: DISPLAY is not set"},
                                           NoDisplayCase{"Unreachable", "unix:4093",
                                                         "cannot open the X display \"unix:4093\""}),
                         CaseName<NoDisplayCase>);

// ---- the main dialog's controls ---------------------------------------------

TEST_F(FltkToolkitTest, MainDialogWindowMirrorsEveryControlAtItsPlace) {
  ui::Dialog dialog(MainDialogTemplate());
  ASSERT_TRUE(dialog.Create());
  Fl_Window& window = Native(dialog);
  EXPECT_STREQ(window.label(), "Tidewatcher Connect");
  EXPECT_EQ(window.w(), 435);
  EXPECT_EQ(window.h(), 527);
  EXPECT_EQ(window.resizable(), nullptr);

  const ui::Rect client = dialog.GetWindowRect();
  for (const ui::ControlTemplate& control : MainDialogTemplate().controls) {
    if (control.id == 0) continue;
    SCOPED_TRACE(control.id);
    const Fl_Widget* widget = Backend(dialog).ControlWidget(control.id);
    ASSERT_NE(widget, nullptr);
    const ui::Rect rect = dialog.GetItemRect(control.id);
    EXPECT_EQ(widget->x(), rect.left - client.left);
    EXPECT_EQ(widget->y(), rect.top - client.top);
    EXPECT_EQ(widget->w(), rect.Width());
    EXPECT_EQ(widget->h(), rect.Height());
  }

  EXPECT_STREQ(WidgetOf<Fl_Button>(dialog, IDC_START)->label(), "Start Tidewatcher");
  EXPECT_EQ(WidgetOf<Fl_Button>(dialog, IDC_START)->shortcut(), FL_Enter);
  EXPECT_NE(WidgetOf<ui::fltk::DefaultButton>(dialog, IDC_START), nullptr);
  EXPECT_STREQ(WidgetOf<Fl_Button>(dialog, IDC_OPTIONS)->label(), "Options <<");
  EXPECT_STREQ(WidgetOf<Fl_Button>(dialog, IDC_CONFIGURE)->label(), "Configure Tidewatcher");
  EXPECT_STREQ(WidgetOf<Fl_Button>(dialog, IDC_CONFIGURE_IP)->label(), "Configure IP Info...");
  EXPECT_FALSE(WidgetOf<Fl_Button>(dialog, IDC_CONFIGURE_IP)->active());
  EXPECT_TRUE(WidgetOf<Fl_Button>(dialog, IDC_CONFIGURE)->active());
  EXPECT_STREQ(WidgetOf<Fl_Check_Button>(dialog, IDC_REMEMBER)->label(), "Remember Login Info");
  EXPECT_NE(WidgetOf<Fl_Secret_Input>(dialog, IDC_PASSWORD), nullptr);
  EXPECT_EQ(WidgetOf<Fl_Secret_Input>(dialog, IDC_SYSTEM_NAME), nullptr);
  EXPECT_EQ(WidgetOf<Fl_Browser>(dialog, IDC_LOCAL_SYSTEMS)->format_char(), 0);
  EXPECT_NE(WidgetOf<ui::fltk::PictureBox>(dialog, IDC_PICTURE), nullptr);
  EXPECT_NE(WidgetOf<ui::fltk::HelpButton>(dialog, IDC_HELP), nullptr);
  EXPECT_EQ(WidgetOf<ui::fltk::SurfaceLabel>(dialog, IDC_BOTTOM_LINE)->labelcolor(), fl_rgb_color(150, 150, 150));

  // Program writes, Latin-1 inside, UTF-8 in the window.
  dialog.SetItemText(IDC_SYSTEM_NAME, "Caf\xe9 \x93pool\x94");
  dialog.SetItemText(IDC_VERSION, "5.2 Build 738.0 Rel");
  dialog.SetItemText(IDC_OPTIONS, "Options >>");
  dialog.SetCheck(IDC_REMEMBER, true);
  dialog.EnableItem(IDC_CONFIGURE_IP, true);
  dialog.EnableItem(IDC_CONFIGURE, false);
  dialog.ShowItem(IDC_HELP, false);
  EXPECT_STREQ(WidgetOf<Fl_Input>(dialog, IDC_SYSTEM_NAME)->value(), "Caf\xc3\xa9 \xe2\x80\x9cpool\xe2\x80\x9d");
  EXPECT_EQ(WidgetOf<ui::fltk::SurfaceLabel>(dialog, IDC_VERSION)->Text(), "5.2 Build 738.0 Rel");
  EXPECT_STREQ(WidgetOf<Fl_Button>(dialog, IDC_OPTIONS)->label(), "Options >>");
  EXPECT_EQ(WidgetOf<Fl_Check_Button>(dialog, IDC_REMEMBER)->value(), 1);
  EXPECT_TRUE(WidgetOf<Fl_Button>(dialog, IDC_CONFIGURE_IP)->active());
  EXPECT_FALSE(WidgetOf<Fl_Button>(dialog, IDC_CONFIGURE)->active());
  EXPECT_FALSE(Backend(dialog).ControlWidget(IDC_HELP)->visible());
}

TEST_F(FltkToolkitTest, ProgramWritesAreSilentWhileUserActionsReachTheDialog) {
  RecordingDialog dialog(MainDialogTemplate());
  ASSERT_TRUE(dialog.Create());
  dialog.ShowWindow(true);
  dialog.SetItemText(IDC_SYSTEM_NAME, "Pool");
  dialog.SetItemText(IDC_PASSWORD, "secret");
  dialog.SetCheck(IDC_REMEMBER, true);
  dialog.ListAddString(IDC_LOCAL_SYSTEMS, "Quorvex: 12-34-56 (192.168.1.20:80)");
  dialog.ListAddString(IDC_LOCAL_SYSTEMS, "Local Machine (127.0.0.1:80)");
  dialog.ListSetCurSel(IDC_LOCAL_SYSTEMS, 0);
  Fl::check();
  EXPECT_TRUE(dialog.commands.empty());

  // A handler that writes another control, as the name change clears a password.
  dialog.onCommand = [&](int id) {
    if (id == IDC_SYSTEM_NAME) dialog.SetItemText(IDC_PASSWORD, "");
  };
  auto* name = WidgetOf<Fl_Input>(dialog, IDC_SYSTEM_NAME);
  name->value("Caf\xc3\xa9");
  name->do_callback();
  EXPECT_EQ(dialog.GetItemText(IDC_SYSTEM_NAME), "Caf\xe9");
  EXPECT_STREQ(WidgetOf<Fl_Input>(dialog, IDC_PASSWORD)->value(), "");

  auto* remember = WidgetOf<Fl_Check_Button>(dialog, IDC_REMEMBER);
  remember->value(0);
  remember->do_callback();
  EXPECT_FALSE(dialog.GetCheck(IDC_REMEMBER));
  EXPECT_EQ(remember->value(), 0);

  auto* list = WidgetOf<Fl_Browser>(dialog, IDC_LOCAL_SYSTEMS);
  list->select(2);
  list->do_callback();
  EXPECT_EQ(dialog.ListGetCurSel(IDC_LOCAL_SYSTEMS), 1);

  WidgetOf<Fl_Button>(dialog, IDC_CONFIGURE)->do_callback();
  EXPECT_THAT(dialog.commands, ::testing::ElementsAre(std::make_pair(IDC_SYSTEM_NAME, Notification::kEditChanged),
                                                      std::make_pair(IDC_REMEMBER, Notification::kClicked),
                                                      std::make_pair(IDC_LOCAL_SYSTEMS, Notification::kSelectionChanged),
                                                      std::make_pair(IDC_CONFIGURE, Notification::kClicked)));
}

// Keys take FLTK's own route: the focused widget, then shortcuts, then the dialog.
TEST_F(FltkToolkitTest, EnterPressesTheDefaultButtonOrRunsOkAndEscapeCancels) {
  RecordingDialog dialog(MainDialogTemplate());
  ASSERT_TRUE(dialog.Create());
  dialog.ShowWindow(true);
  Fl_Window& window = Native(dialog);
  Settle(window);
  WidgetOf<Fl_Input>(dialog, IDC_SYSTEM_NAME)->take_focus();
  PressKey(window, FL_Enter);
  EXPECT_THAT(dialog.commands, ::testing::ElementsAre(std::make_pair(IDC_START, Notification::kClicked)));

  dialog.EnableItem(IDC_START, false);
  PressKey(window, FL_Enter);
  EXPECT_EQ(dialog.okCount, 1);
  EXPECT_EQ(dialog.commands.size(), 1u);

  WidgetOf<Fl_Button>(dialog, IDC_OPTIONS)->take_focus();  // a focused push button takes Enter itself
  PressKey(window, FL_Enter);
  EXPECT_EQ(dialog.commands.back(), std::make_pair(IDC_OPTIONS, Notification::kClicked));

  PressKey(window, FL_Escape);
  EXPECT_EQ(dialog.cancelCount, 1);
}

TEST_F(FltkToolkitTest, TheCloseBoxCancelsUnlessTheDialogHasNone) {
  RecordingDialog main(MainDialogTemplate());
  RecordingDialog progress(ProgressDialogTemplate());
  ASSERT_TRUE(main.Create());
  ASSERT_TRUE(progress.Create());
  Native(main).do_callback();
  Native(progress).do_callback();
  EXPECT_EQ(main.cancelCount, 1);
  EXPECT_EQ(progress.cancelCount, 0);
}

// Runs xdotool on the test display, pumping events while it works.
void RunXdotool(std::vector<std::string> args) {
  args.insert(args.begin(), "xdotool");
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  ASSERT_EQ(posix_spawnp(&pid, "xdotool", nullptr, nullptr, argv.data(), environ), 0);
  int status = 0;
  const uint32_t start = platform::CurrentClock().TickMs();
  while (waitpid(pid, &status, WNOHANG) == 0 && ElapsedMs(start) < 10000) Fl::wait(0.01);
  for (int i = 0; i < 20; ++i) Fl::wait(0.01);
}

TEST_F(FltkToolkitTest, TypingOnTheScreenReachesTheDialog) {
  RecordingDialog dialog(MainDialogTemplate());
  ASSERT_TRUE(dialog.Create());
  dialog.ShowWindow(true);
  Fl_Window& window = Native(dialog);
  Settle(window);
  const Fl_Widget* name = Backend(dialog).ControlWidget(IDC_SYSTEM_NAME);
  RunXdotool({"mousemove", "--sync", std::to_string(window.x() + name->x() + 5),
              std::to_string(window.y() + name->y() + name->h() / 2), "click", "1", "type", "--delay", "20",
              "Pool 7"});
  RunXdotool({"key", "Return"});
  EXPECT_EQ(dialog.GetItemText(IDC_SYSTEM_NAME), "Pool 7");
  ASSERT_FALSE(dialog.commands.empty());
  EXPECT_EQ(dialog.commands.front(), std::make_pair(IDC_SYSTEM_NAME, Notification::kEditChanged));
  EXPECT_EQ(dialog.commands.back(), std::make_pair(IDC_START, Notification::kClicked));
}

TEST_F(FltkToolkitTest, TypingAnAddressFillsTheFourFields) {
  RecordingDialog dialog(AddressTemplate());
  ASSERT_TRUE(dialog.Create());
  dialog.ShowWindow(true);
  Fl_Window& window = Native(dialog);
  Settle(window);
  const Fl_Widget* first = WidgetOf<ui::fltk::IpAddressInput>(dialog, kIpAddress)->Field(0);
  RunXdotool({"mousemove", "--sync", std::to_string(window.x() + first->x() + 3),
              std::to_string(window.y() + first->y() + first->h() / 2), "click", "1", "type", "--delay", "20",
              "192.168.1.10"});
  EXPECT_EQ(dialog.GetAddress(kIpAddress), 0xC0A8010Au);
}

// A handler may destroy its dialog's window from inside that window's callback.
TEST_F(FltkToolkitTest, HandlerMayDestroyTheWindowItWasCalledFrom) {
  RecordingDialog dialog(MainDialogTemplate());
  ASSERT_TRUE(dialog.Create());
  dialog.ShowWindow(true);
  Fl_Button* configure = WidgetOf<Fl_Button>(dialog, IDC_CONFIGURE);
  dialog.onCommand = [&](int) { dialog.DestroyWindow(); };
  configure->do_callback();
  EXPECT_FALSE(dialog.HasWindow());
  Fl::check();
  EXPECT_EQ(dialog.commands.size(), 1u);
}

// ---- geometry, lists, addresses ---------------------------------------------

TEST_F(FltkToolkitTest, GeometryChangedResizesTheWindowAndClipsWhatFallsOutside) {
  ui::Dialog dialog(MainDialogTemplate());
  ASSERT_TRUE(dialog.Create());
  dialog.ShowWindow(true);
  Fl_Window& window = Native(dialog);
  Settle(window);
  const ui::Rect client = dialog.GetWindowRect();
  const int collapsed = dialog.GetItemRect(IDC_OPTIONS).bottom - client.top + 15;
  dialog.SetWindowSize(client.Width(), collapsed);
  Settle(window);
  XWindowAttributes attributes;
  XGetWindowAttributes(fl_display, fl_xid(&window), &attributes);
  EXPECT_EQ(window.h(), collapsed);
  EXPECT_EQ(attributes.height, collapsed);
  EXPECT_EQ(attributes.width, client.Width());
  EXPECT_TRUE(Backend(dialog).ControlWidget(IDC_LOCAL_SYSTEMS)->visible());  // still there, clipped

  const int expanded = dialog.GetItemRect(IDC_LOCAL_SYSTEMS).bottom - client.top + 15;
  dialog.SetWindowSize(client.Width(), expanded);
  Settle(window);
  XGetWindowAttributes(fl_display, fl_xid(&window), &attributes);
  EXPECT_EQ(attributes.height, expanded);
}

TEST_F(FltkToolkitTest, ListShowsTheDialogsLinesLiterallyInItsOrder) {
  ui::Dialog dialog(MainDialogTemplate());
  ASSERT_TRUE(dialog.Create());
  for (const char* line : {"pool @b (10.0.0.20:80)", "Pool @C1 (10.0.0.2:80)", "&Spa", "@@ Caf\xe9", "Local Machine"}) {
    dialog.ListAddString(IDC_LOCAL_SYSTEMS, line);
  }
  dialog.ListSetCurSel(IDC_LOCAL_SYSTEMS, 2);
  dialog.ListDeleteString(IDC_LOCAL_SYSTEMS, 0);
  auto* list = WidgetOf<Fl_Browser>(dialog, IDC_LOCAL_SYSTEMS);
  ASSERT_EQ(list->size(), dialog.ListGetCount(IDC_LOCAL_SYSTEMS));
  for (int i = 0; i < list->size(); ++i) {
    EXPECT_EQ(list->text(i + 1), platform::Latin1ToUtf8(dialog.ListGetText(IDC_LOCAL_SYSTEMS, i)));
  }
  EXPECT_EQ(list->value(), dialog.ListGetCurSel(IDC_LOCAL_SYSTEMS) + 1);
  dialog.ListSetCurSel(IDC_LOCAL_SYSTEMS, -1);
  EXPECT_EQ(list->value(), 0);
}

struct AddressEdit {
  int field;
  const char* typed;
  const char* shown;  // the field afterwards
  uint32_t address;
};

TEST_F(FltkToolkitTest, AddressControlRoundTripsAndReadsBlankFieldsAsZero) {
  RecordingDialog dialog(AddressTemplate());
  ASSERT_TRUE(dialog.Create());
  auto* address = WidgetOf<ui::fltk::IpAddressInput>(dialog, kIpAddress);
  auto* mask = WidgetOf<ui::fltk::IpAddressInput>(dialog, kSubnetMask);
  EXPECT_EQ(mask->Address(), 0u);
  EXPECT_STREQ(mask->Field(0)->value(), "");

  dialog.SetAddress(kIpAddress, 0xC0A8010A);
  const char* shown[] = {"192", "168", "1", "10"};
  for (int i = 0; i < 4; ++i) EXPECT_STREQ(address->Field(i)->value(), shown[i]);
  dialog.SetAddress(kSubnetMask, 0);  // as "Set DHCP" does: 0.0.0.0 shows
  for (int i = 0; i < 4; ++i) EXPECT_STREQ(mask->Field(i)->value(), "0");
  EXPECT_TRUE(dialog.commands.empty());

  const AddressEdit edits[] = {
      {3, "20", "20", 0xC0A80114},   // 192.168.1.20
      {1, "", "", 0xC0000114},       // blank stays blank and counts as 0
      {2, "300", "255", 0xC000FF14}, // capped
      {0, "1x0", "10", 0x0A00FF14},  // only digits go in
  };
  for (const AddressEdit& edit : edits) {
    SCOPED_TRACE(edit.typed);
    Fl_Input* field = address->Field(edit.field);
    field->value(edit.typed);
    field->do_callback();
    EXPECT_STREQ(field->value(), edit.shown);
    EXPECT_EQ(dialog.GetAddress(kIpAddress), edit.address);
  }
  EXPECT_EQ(dialog.commands.size(), 4u);
  EXPECT_EQ(dialog.commands.back(), std::make_pair(kIpAddress, Notification::kEditChanged));
}

// ---- painting -----------------------------------------------------------------

int CountPixels(const WindowCapture& capture, const Fl_Widget& area, Pixel colour) {
  int count = 0;
  for (int y = area.y(); y < area.y() + area.h(); ++y) {
    for (int x = area.x(); x < area.x() + area.w(); ++x) {
      const Pixel p = capture.At(x, y);
      if (p.red == colour.red && p.green == colour.green && p.blue == colour.blue) ++count;
    }
  }
  return count;
}

std::string ArtifactPath(const char* name) {
  std::filesystem::create_directories(TW_ARTIFACTS_DIR);
  return std::string(TW_ARTIFACTS_DIR) + "/" + name;
}

TEST_F(FltkToolkitTest, ProgressDialogIsAToolWindowThatRepaintsAtOnce) {
  ui::Dialog progress(ProgressDialogTemplate());
  ASSERT_TRUE(progress.Create());
  progress.ShowWindow(true);
  Fl_Window& window = Native(progress);
  Settle(window);

  // The caller is busy and pumps no events: only RedrawNow brings the line to the screen.
  const Pixel selection{51, 110, 200};
  const Fl_Widget& lines = *Backend(progress).ControlWidget(IDC_PROGRESS_LINES);
  progress.ListAddString(IDC_PROGRESS_LINES, "Connecting to Pool...");
  progress.ListSetCurSel(IDC_PROGRESS_LINES, 0);
  EXPECT_EQ(CountPixels(WindowCapture(window), lines, selection), 0);
  progress.RedrawNow();
  EXPECT_GT(CountPixels(WindowCapture(window), lines, selection), 100);

  Atom type = 0;
  int format = 0;
  unsigned long count = 0, remaining = 0;
  unsigned char* data = nullptr;
  XGetWindowProperty(fl_display, fl_xid(&window), XInternAtom(fl_display, "_NET_WM_WINDOW_TYPE", False), 0, 1,
                     False, AnyPropertyType, &type, &format, &count, &remaining, &data);
  ASSERT_EQ(count, 1u);
  EXPECT_EQ(*reinterpret_cast<Atom*>(data), XInternAtom(fl_display, "_NET_WM_WINDOW_TYPE_UTILITY", False));
  XFree(data);
  const Atom motif = XInternAtom(fl_display, "_MOTIF_WM_HINTS", False);
  XGetWindowProperty(fl_display, fl_xid(&window), motif, 0, 5, False, motif, &type, &format, &count, &remaining,
                     &data);
  ASSERT_EQ(count, 5u);
  EXPECT_EQ(reinterpret_cast<long*>(data)[1] & (1L << 5), 0) << "no close function";
  XFree(data);

  for (int i = 1; i <= 25; ++i) {
    progress.ListAddString(IDC_PROGRESS_LINES, "Status line " + std::to_string(i));
    progress.ListSetCurSel(IDC_PROGRESS_LINES, i);
    progress.RedrawNow();
  }
  auto* list = WidgetOf<Fl_Browser>(progress, IDC_PROGRESS_LINES);
  EXPECT_TRUE(list->displayed(26)) << "the last line scrolled into view";
  EXPECT_FALSE(list->displayed(1));
  EXPECT_TRUE(WindowCapture(window).SavePng(ArtifactPath("progress_dialog.png")));
}

void ExpectGradientRow(const WindowCapture& capture, int x, int y, int windowHeight) {
  const int row = y - 240, rows = windowHeight - 240;
  const Pixel p = capture.At(x, y);
  EXPECT_EQ(p.red, 255 - 19 * row / rows) << "at " << x << "," << y;
  EXPECT_EQ(p.green, 255 - 22 * row / rows) << "at " << x << "," << y;
  EXPECT_EQ(p.blue, 255 - 39 * row / rows) << "at " << x << "," << y;
}

TEST_F(FltkToolkitTest, MainWindowScreenshotsShowPictureGradientAndLabels) {
  ui::Dialog dialog(MainDialogTemplate());
  ASSERT_TRUE(dialog.Create());
  dialog.SetItemText(IDC_VERSION, "5.2 Build 738.0 Rel");
  dialog.SetItemText(IDC_BOTTOM_LINE, "Tidewatcher Connect : 5.2 Build 738.0 Rel");
  dialog.SetItemText(IDC_SYSTEM_NAME, "Quorvex: 12-34-56");
  dialog.SetItemText(IDC_PASSWORD, "secret");
  dialog.SetCheck(IDC_REMEMBER, true);
  dialog.ListAddString(IDC_LOCAL_SYSTEMS, "Quorvex: 12-34-56 (192.168.1.20:80)");
  dialog.ListAddString(IDC_LOCAL_SYSTEMS, "Local Machine (127.0.0.1:80)");
  dialog.ListSetCurSel(IDC_LOCAL_SYSTEMS, 1);
  dialog.EnableItem(IDC_CONFIGURE_IP, true);
  dialog.ShowWindow(true);
  Fl_Window& window = Native(dialog);
  Settle(window);

  const WindowCapture expanded(window);
  EXPECT_TRUE(expanded.SavePng(ArtifactPath("main_expanded.png")));
  EXPECT_GT(expanded.DistinctColours(), 200);
  ExpectGradientRow(expanded, 3, 300, window.h());
  ExpectGradientRow(expanded, 3, window.h() - 1, window.h());
  // Labels are transparent: the gradient runs on behind the version text.
  const Fl_Widget& version = *Backend(dialog).ControlWidget(IDC_VERSION);
  ExpectGradientRow(expanded, version.x() + version.w() - 3, version.y() + 2, window.h());
  // The bottom line's text is grey: its darkest pixels are RGB(150, 150, 150).
  const Fl_Widget& bottom = *Backend(dialog).ControlWidget(IDC_BOTTOM_LINE);
  Pixel darkest{255, 255, 255};
  for (int y = bottom.y() + 2; y < bottom.y() + bottom.h() - 2; ++y) {
    for (int x = bottom.x() + 2; x < bottom.x() + bottom.w() - 2; ++x) {
      if (expanded.At(x, y).red < darkest.red) darkest = expanded.At(x, y);
    }
  }
  EXPECT_EQ(darkest.red, 150);
  EXPECT_EQ(darkest.green, 150);
  EXPECT_EQ(darkest.blue, 150);

  const ui::Rect client = dialog.GetWindowRect();
  dialog.SetWindowSize(client.Width(), dialog.GetItemRect(IDC_OPTIONS).bottom - client.top + 15);
  dialog.SetItemText(IDC_OPTIONS, "Options >>");
  Settle(window);
  const WindowCapture collapsed(window);
  EXPECT_TRUE(collapsed.SavePng(ArtifactPath("main_collapsed.png")));
  EXPECT_EQ(collapsed.Height(), window.h());
  EXPECT_GT(collapsed.DistinctColours(), 200);
  ExpectGradientRow(collapsed, 3, window.h() - 1, window.h());  // rebuilt for the new height
}

TEST_F(FltkToolkitTest, HelpDialogScreenshotShowsItsGroups) {
  ui::Dialog dialog(NameHelpDialogTemplate());
  ASSERT_TRUE(dialog.Create());
  dialog.ShowWindow(true);
  Settle(Native(dialog));
  const WindowCapture capture(Native(dialog));
  EXPECT_TRUE(capture.SavePng(ArtifactPath("help_dialog.png")));
  EXPECT_GT(capture.DistinctColours(), 10);
}

// ---- message boxes ------------------------------------------------------------

struct MessageBoxCase {
  const char* name;
  ui::MessageBoxButtons buttons;
  const char* press;  // a button's label; null: the close box
  int answer;
};

class MessageBoxTest : public FltkToolkitTest, public ::testing::WithParamInterface<MessageBoxCase> {};

Fl_Button* ButtonLabelled(Fl_Window& window, const char* label) {
  for (int i = 0; i < window.children(); ++i) {
    auto* button = dynamic_cast<Fl_Button*>(window.child(i));
    if (button != nullptr && std::strcmp(button->label(), label) == 0) return button;
  }
  return nullptr;
}

// Dialog timers run while the box is up; the one here answers it on its tenth tick.
TEST_P(MessageBoxTest, AnswersByButtonAndKeepsDialogTimersRunning) {
  const MessageBoxCase c = GetParam();
  RecordingDialog dialog(AddressTemplate());
  ASSERT_TRUE(dialog.Create());
  dialog.SetTimer(1, 5);
  bool answered = false;
  dialog.onTimer = [&](int) {
    Fl_Window* box = Fl::modal();
    if (box == nullptr || dialog.ticks < 10 || answered) return;
    if (c.press == nullptr) {
      box->do_callback();
      if (c.buttons == ui::MessageBoxButtons::kYesNo) ButtonLabelled(*box, "&No")->do_callback();
    } else {
      if (c.buttons == ui::MessageBoxButtons::kOkCancel) {
        EXPECT_TRUE(WindowCapture(*box).SavePng(ArtifactPath("message_box.png")));
      }
      Fl_Button* button = ButtonLabelled(*box, c.press);
      ASSERT_NE(button, nullptr);
      button->do_callback();
    }
    answered = true;
  };
  const int answer = ui::MessageBox("Unable to reach the system.\nCheck the cable and try again.", "Tidewatcher Connect",
                                    c.buttons, ui::MessageBoxIcon::kWarning);
  EXPECT_EQ(answer, c.answer);
  EXPECT_GE(dialog.ticks, 10);
}

INSTANTIATE_TEST_SUITE_P(
    Buttons, MessageBoxTest,
    ::testing::Values(MessageBoxCase{"OkPressed", ui::MessageBoxButtons::kOk, "OK", ui::kIdOk},
                      MessageBoxCase{"OkClosed", ui::MessageBoxButtons::kOk, nullptr, ui::kIdOk},
                      MessageBoxCase{"OkCancelOk", ui::MessageBoxButtons::kOkCancel, "OK", ui::kIdOk},
                      MessageBoxCase{"OkCancelClosed", ui::MessageBoxButtons::kOkCancel, nullptr, ui::kIdCancel},
                      MessageBoxCase{"YesNoYes", ui::MessageBoxButtons::kYesNo, "&Yes", ui::kIdYes},
                      // the close box does nothing on a Yes/No box; the No pressed after it answers
                      MessageBoxCase{"YesNoClosed", ui::MessageBoxButtons::kYesNo, nullptr, ui::kIdNo}),
    CaseName<MessageBoxCase>);

TEST_F(FltkToolkitTest, PumpHandlesOneEventOrElseOneDueTimer) {
  RecordingDialog dialog(AddressTemplate());
  ASSERT_TRUE(dialog.Create());
  dialog.ShowWindow(true);
  Fl_Window& window = Native(dialog);
  Settle(window);
  EXPECT_FALSE(toolkit_.PumpOneEvent());

  // Two moves queue two events; one pump takes one of them.
  XMoveWindow(fl_display, fl_xid(&window), 10, 10);
  XMoveWindow(fl_display, fl_xid(&window), 20, 20);
  XSync(fl_display, False);
  const int queued = XEventsQueued(fl_display, QueuedAlready);
  ASSERT_GE(queued, 2);
  EXPECT_TRUE(toolkit_.PumpOneEvent());
  EXPECT_EQ(XEventsQueued(fl_display, QueuedAlready), queued - 1);
  Fl::check();

  dialog.SetTimer(1, 1);
  platform::CurrentClock().Sleep(5);
  EXPECT_TRUE(toolkit_.PumpOneEvent());
  EXPECT_EQ(dialog.ticks, 1);
  EXPECT_GT(toolkit_.ScreenHeight(), 600);
}

}  // namespace
