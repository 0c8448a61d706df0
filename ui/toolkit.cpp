#include "ui/toolkit.h"

#include "ui/headless/headless_toolkit.h"

namespace ui {
namespace {

Toolkit* g_toolkit = nullptr;

}  // namespace

Toolkit& CurrentToolkit() {
  static HeadlessToolkit fallback;
  return g_toolkit != nullptr ? *g_toolkit : fallback;
}

void SetToolkit(Toolkit* toolkit) { g_toolkit = toolkit; }

}  // namespace ui
