// tidewatcher-connect: the launcher in its window. Its command line is the one the
// launcher has always had ("/DEMO", "/USER:", "/PASS:"); anything else is ignored.
#include <cstdio>
#include <string>

#include "app/application.h"
#include "platform/descriptor_limit.h"
#include "platform/process.h"
#include "ui/fltk/fltk_toolkit.h"

int main(int argc, char** argv) {
  platform::ResetChildSignal();
  // Two swept /23 subnets need more sockets than the usual soft limit allows.
  platform::RaiseDescriptorLimit();
  std::string error;
  if (!ui::FltkToolkit::OpenDisplay(&error)) {
    std::fprintf(stderr, "tidewatcher-connect: %s\n", error.c_str());
    return 1;
  }
  ui::FltkToolkit toolkit;
  ui::SetToolkit(&toolkit);
  CDiRIRUVApp application;
  application.InitInstance(JoinArguments(argc, argv));
  ui::SetToolkit(nullptr);
  return 0;
}
