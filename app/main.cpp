// The program entry: start-up steps, the main window's message loop, close-down steps.
#include "app/ProgramSteps.h"

int main(int argc, char** argv) { return RunProgram(argc, argv); }
