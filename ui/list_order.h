// The order of sorted list boxes: ignoring letter case, with spaces and
// punctuation before digits and digits before letters, so "(10.0.0.2:80)" comes
// before "(10.0.0.20:80)". `tidewatcher discover` prints in the same order.
#pragma once

#include <string>

namespace ui {

// True when a sorts before b.
bool ListOrderLess(const std::string& a, const std::string& b);

}  // namespace ui
