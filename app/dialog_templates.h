// The layouts of the launcher's dialogs, in dialog units, and their control ids.
#pragma once

#include "ui/dialog_template.h"

// Main dialog (template 131).
constexpr int IDD_MAIN = 131;
constexpr int IDC_REMEMBER = 1000;
constexpr int IDC_PICTURE = 1001;
constexpr int IDC_SYSTEM_NAME = 1002;
constexpr int IDC_PASSWORD = 1003;
constexpr int IDC_LOCAL_SYSTEMS = 1010;
constexpr int IDC_START = 1014;
constexpr int IDC_CONFIGURE = 1015;
constexpr int IDC_OPTIONS = 1017;
constexpr int IDC_CONFIGURE_IP = 1020;
constexpr int IDC_BOTTOM_LINE = 1022;
constexpr int IDC_HELP = 1027;
constexpr int IDC_VERSION = 1034;

// Progress dialog (template 130).
constexpr int IDD_PROGRESS = 130;
constexpr int IDC_PROGRESS_CANCEL = 1018;
constexpr int IDC_PROGRESS_LINES = 1019;

// Help on System Name and Password (template 140).
constexpr int IDD_NAME_HELP = 140;

// The adapter's IP configuration (template 134).
constexpr int IDD_CONFIG_BRICK = 134;
constexpr int IDC_IP_ADDRESS = 1021;
constexpr int IDC_SUBNET_MASK = 1022;
constexpr int IDC_DEFAULT_GATEWAY = 1023;
constexpr int IDC_DNS_SERVER = 1024;
constexpr int IDC_SET_DHCP = 1026;
constexpr int IDC_STATIC_IP_HINT = 1035;

const ui::DialogTemplate& MainDialogTemplate();
const ui::DialogTemplate& ProgressDialogTemplate();
const ui::DialogTemplate& NameHelpDialogTemplate();
const ui::DialogTemplate& ConfigBrickDialogTemplate();
