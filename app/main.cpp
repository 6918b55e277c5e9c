// The program entry: the display first, then the start-up steps, the main window's message loop
// and the close-down steps.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/ProgramSteps.h"
#include "platform/win/X11Backend.h"

namespace {

// Tests run the program without a display: every window then stays inside the process.
bool Headless() {
  const char* v = std::getenv("QUORVEX_HEADLESS");
  return v && std::strcmp(v, "1") == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (!Headless()) {
    try {
      SetDisplayBackend(std::make_unique<TX11Backend>());
    } catch (const EDisplayError& e) {
      std::fprintf(stderr, "%s\n", e.Message().c_str());
      return 1;
    }
  }
  return RunProgram(argc, argv);
}
