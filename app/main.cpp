// The program entry: start-up steps, the main window's message loop, close-down steps.
#include "platform/rtl/Files.h"

int main(int argc, char** argv) {
  SetProgramArgs(argc, argv);
  return 0;
}
