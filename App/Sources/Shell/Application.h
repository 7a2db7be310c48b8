#pragma once

namespace vorn::app {

// Runs the program on the X11 desktop of $DISPLAY until the menu's Quit; the exit code.
int runApplication(int argc, char** argv);

}  // namespace vorn::app
