#include "app/dialog_templates.h"

using ui::Artwork;
using ui::ControlKind;

namespace {

ui::ControlTemplate Control(int id, ControlKind kind, const char* text, int x, int y, int width, int height,
                            uint32_t style = ui::kStyleNone, Artwork artwork = Artwork::kNone) {
  return ui::ControlTemplate{id, kind, text, x, y, width, height, style, artwork};
}

ui::DialogTemplate MakeMain() {
  ui::DialogTemplate t;
  t.id = IDD_MAIN;
  t.caption = "Tidewatcher Connect";
  t.width = 290;
  t.height = 324;
  t.style = ui::kDialogMinimizeBox | ui::kDialogGradient;
  t.controls = {
      Control(IDC_PICTURE, ControlKind::kPicture, "", 0, 0, 290, 179, ui::kStyleSunken, Artwork::kPicture),
      Control(1011, ControlKind::kLabel, "System Name", 7, 185, 44, 12),
      Control(IDC_SYSTEM_NAME, ControlKind::kEdit, "", 59, 184, 77, 12, ui::kStyleAutoScroll),
      Control(IDC_HELP, ControlKind::kImageButton, "?", 140, 184, 18, 12, ui::kStyleNone, Artwork::kHelpIcon),
      Control(IDC_VERSION, ControlKind::kLabel, "", 166, 185, 119, 8),
      Control(1012, ControlKind::kLabel, "Password ", 7, 201, 44, 12),
      Control(IDC_PASSWORD, ControlKind::kPasswordEdit, "", 59, 200, 77, 12, ui::kStyleAutoScroll),
      Control(IDC_START, ControlKind::kDefaultButton, "Start Tidewatcher", 197, 203, 87, 19),
      Control(IDC_OPTIONS, ControlKind::kButton, "Options <<", 197, 225, 87, 19),
      Control(IDC_REMEMBER, ControlKind::kCheckBox, "Remember Login Info", 7, 234, 84, 10),
      Control(0, ControlKind::kLabel, "Local Systems", 7, 251, 46, 8),
      Control(IDC_CONFIGURE_IP, ControlKind::kButton, "Configure IP Info...", 197, 254, 87, 19, ui::kStyleDisabled),
      Control(IDC_LOCAL_SYSTEMS, ControlKind::kListBox, "", 7, 260, 156, 37,
              ui::kStyleSorted | ui::kStyleNotify | ui::kStyleVScroll),
      Control(IDC_CONFIGURE, ControlKind::kButton, "Configure Tidewatcher", 197, 278, 87, 19),
      Control(IDC_BOTTOM_LINE, ControlKind::kLabel, "", 7, 306, 276, 12, ui::kStyleSunken | ui::kStyleGreyText),
  };
  return t;
}

ui::DialogTemplate MakeProgress() {
  ui::DialogTemplate t;
  t.id = IDD_PROGRESS;
  t.caption = "Connecting To Remote System...";
  t.width = 269;
  t.height = 142;
  t.style = ui::kDialogToolWindow | ui::kDialogNoClose;
  t.controls = {
      Control(IDC_PROGRESS_LINES, ControlKind::kListBox, "", 7, 4, 255, 112, ui::kStyleVScroll),
      Control(IDC_PROGRESS_CANCEL, ControlKind::kButton, "Cancel", 7, 123, 255, 14),
  };
  return t;
}

ui::DialogTemplate MakeNameHelp() {
  ui::DialogTemplate t;
  t.id = IDD_NAME_HELP;
  t.caption = "System Name and Password";
  t.width = 330;
  t.height = 196;
  const char* nameLines[] = {
      "Entering a System Name allows you to remotely connect to your Tidewatcher system.",
      "When connecting at home from your desktop or laptop, Tidewatcher will normally auto-",
      "populate this field.  However, when connecting remotely, you must enter this name ",
      "manually.",
      "The System Name is:",
      "Quorvex: XX-XX-XX",
      "Where the 6 X\x92s represent the last 6 digits of the serial number found on your protocol ",
      "adapter.",
  };
  const char* passwordLines[] = {
      "You can optionally password protect your system by entering a password in the ",
      // Octal escapes: a hex escape would swallow the "C" that follows.
      "Tidewatcher configuration utility.  Click on the \223Configure Tidewatcher\224 button and ",
      "enter a password in the password section of Configuration Page 1.",
  };
  t.controls.push_back(Control(0, ControlKind::kGroupBox, "System Name", 7, 7, 316, 110));
  int y = 19;
  for (const char* line : nameLines) {
    t.controls.push_back(Control(0, ControlKind::kLabel, line, 14, y, 302, 10));
    y += 12;
  }
  t.controls.push_back(Control(0, ControlKind::kGroupBox, "Password", 7, 121, 316, 48));
  y = 133;
  for (const char* line : passwordLines) {
    t.controls.push_back(Control(0, ControlKind::kLabel, line, 14, y, 302, 10));
    y += 11;
  }
  t.controls.push_back(Control(ui::kIdOk, ControlKind::kDefaultButton, "OK", 214, 175, 50, 14));
  t.controls.push_back(Control(ui::kIdCancel, ControlKind::kButton, "Cancel", 270, 175, 50, 14));
  return t;
}

ui::DialogTemplate MakeConfigBrick() {
  ui::DialogTemplate t;
  t.id = IDD_CONFIG_BRICK;
  t.caption = "Configure IP Information";
  t.width = 186;
  t.height = 133;
  t.controls = {
      Control(0, ControlKind::kLabel, "The system is set to DHCP by default.", 4, 6, 178, 8),
      Control(IDC_STATIC_IP_HINT, ControlKind::kLabel, "To specify a static IP, set all fields below and click OK.", 4,
              18, 178, 8),
      Control(0, ControlKind::kLabel, "IP Address", 4, 35, 36, 8),
      Control(IDC_IP_ADDRESS, ControlKind::kIpAddress, "", 81, 32, 100, 15),
      Control(0, ControlKind::kLabel, "Subnet Mask", 4, 55, 42, 8),
      Control(IDC_SUBNET_MASK, ControlKind::kIpAddress, "", 81, 52, 100, 15),
      Control(0, ControlKind::kLabel, "Default Gateway", 4, 75, 55, 8),
      Control(IDC_DEFAULT_GATEWAY, ControlKind::kIpAddress, "", 81, 72, 100, 15),
      Control(0, ControlKind::kLabel, "DNS Server", 4, 95, 38, 8),
      Control(IDC_DNS_SERVER, ControlKind::kIpAddress, "", 81, 92, 100, 15),
      Control(IDC_SET_DHCP, ControlKind::kButton, "Set DHCP", 4, 115, 50, 14),
      Control(ui::kIdCancel, ControlKind::kButton, "Cancel", 75, 115, 50, 14),
      Control(ui::kIdOk, ControlKind::kDefaultButton, "OK", 132, 115, 50, 14),
  };
  return t;
}

}  // namespace

const ui::DialogTemplate& MainDialogTemplate() {
  static const ui::DialogTemplate t = MakeMain();
  return t;
}

const ui::DialogTemplate& ProgressDialogTemplate() {
  static const ui::DialogTemplate t = MakeProgress();
  return t;
}

const ui::DialogTemplate& NameHelpDialogTemplate() {
  static const ui::DialogTemplate t = MakeNameHelp();
  return t;
}

const ui::DialogTemplate& ConfigBrickDialogTemplate() {
  static const ui::DialogTemplate t = MakeConfigBrick();
  return t;
}
