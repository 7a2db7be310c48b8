#pragma once

namespace vorn::app {

// Ends the program: leaves every running event loop, the nested loop of an open alert included,
// and keeps the main loop from starting when it has not started yet (a first-run question ended
// by SIGTERM). Unlike QCoreApplication::quit(), no window can refuse it; once the quit deadline is
// set (QuitSignals::endWithin), the process ends within it even when tearing down takes longer.
// Main thread only.
void quitApplication();

// Whether quitApplication() was called in this run.
bool quitWasRequested();

}  // namespace vorn::app
