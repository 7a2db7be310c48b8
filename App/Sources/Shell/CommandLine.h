#pragma once

#include <optional>

namespace vorn::app {

// Answers `--help` and `--version` and refuses anything else on the command line, all without a
// display. Returns the exit status when the program should stop here (0 after an answer, 2 for
// a refused argument), or nothing when it should start.
std::optional<int> answerCommandLine(int argc, char** argv);

}  // namespace vorn::app
