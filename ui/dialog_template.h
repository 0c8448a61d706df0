// Dialog templates: the caption, size and controls of a dialog, in dialog units,
// written once and shown by either back-end (the window or the headless one).
// Dialog units are converted to pixels with the base units of the dialog font,
// 6 x 13: x = (du * 6 + 2) / 4, y = (du * 13 + 4) / 8.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ui {

enum class ControlKind {
  kLabel,
  kEdit,
  kPasswordEdit,
  kButton,
  kDefaultButton,  // Enter presses it
  kCheckBox,       // toggles itself when clicked
  kListBox,
  kIpAddress,      // four numbers 0-255; its value is the address, first number in the top byte
  kPicture,
  kImageButton,    // a small button showing an image instead of text
  kGroupBox,
};

// Style flags of a control.
enum ControlStyle : uint32_t {
  kStyleNone = 0,
  kStyleDisabled = 1u << 0,
  kStyleSunken = 1u << 1,
  kStyleSorted = 1u << 2,      // list box: lines kept in list order (see list_order.h)
  kStyleGreyText = 1u << 3,
  kStyleAutoScroll = 1u << 4,  // edit: scrolls horizontally
  kStyleVScroll = 1u << 5,
  kStyleNotify = 1u << 6,      // list box: reports selection changes
};

// Image names the window back-end knows how to draw (our own artwork).
enum class Artwork { kNone, kPicture, kHelpIcon, kAppIcon };

struct ControlTemplate {
  int id = 0;  // 0 for labels nobody addresses
  ControlKind kind = ControlKind::kLabel;
  std::string text;
  int x = 0, y = 0, width = 0, height = 0;  // dialog units
  uint32_t style = kStyleNone;
  Artwork artwork = Artwork::kNone;
};

enum DialogStyle : uint32_t {
  kDialogNone = 0,
  kDialogToolWindow = 1u << 0,   // not in the task bar
  kDialogNoClose = 1u << 1,      // caption without close box
  kDialogMinimizeBox = 1u << 2,
  kDialogGradient = 1u << 3,     // gradient background below kGradientTopPx
};

constexpr int kGradientTopPx = 240;

struct DialogTemplate {
  int id = 0;
  std::string caption;
  int width = 0, height = 0;  // dialog units
  uint32_t style = kDialogNone;
  std::vector<ControlTemplate> controls;
};

inline int DialogUnitsToPixelsX(int du) { return (du * 6 + 2) / 4; }
inline int DialogUnitsToPixelsY(int du) { return (du * 13 + 4) / 8; }

// Standard command identifiers, as buttons of message boxes and dialogs report them.
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;

}  // namespace ui
