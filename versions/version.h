// Version texts as systems report them ("5.2 Build 738.0 Rel") and the two forms
// the launcher derives from them: the name of the folder that holds the clients
// for that version ("5_2_738_0") and a 64-bit value that orders versions
// correctly where a text comparison would not (4.0.1059.0 is above 4.0.488.0).
//
// Value layout, one 16-bit field per point-separated component:
//   bits 48-63  first    bits 32-47  second    bits 16-31  third    bits 0-15  fourth
#pragma once

#include <cstdint>
#include <string>

// The launcher's own version, and the folder its bundled clients are moved into.
constexpr char kLauncherVersionText[] = "5.2 Build 738.0 Rel";
constexpr char kLauncherVersionFolder[] = "5_2_738_0";

// Upper case, every "BUILD" becomes ".", then everything but digits and points
// goes: "5.2 Build 738.0 Rel" gives "5.2.738.0".
std::string NormalizeVersion(const std::string& text);

// NormalizeVersion with each "." replaced by "_".
std::string VersionFolderName(const std::string& text);

// The first four components of the normalised text packed as above. A text with
// fewer components repeats its last one for each missing field ("5.2" gives
// 5, 2, 2, 2); a component above 65535 is not masked and spills upwards.
uint64_t ParseVersion(const std::string& text);
