#pragma once

#include <filesystem>
#include <string>

namespace vorn {

// Writes a crash record when the process dies of a fatal signal (SIGSEGV, SIGBUS, SIGILL,
// SIGFPE, SIGABRT) or an uncaught C++ exception, then hands the crash on to whatever handled it
// before. The first crash of a process writes the only record.
//
// A record is one JSON object in "<directory>/<unix time>-<pid>.json": the kind ("signal" or
// "exception"), the signal name or exception type, the signal number, the time, the release,
// the environment, the stack and the modules loaded when the handlers were installed (path,
// load address, size, GNU build id), so that the addresses can be turned into function names
// offline. A signal's stack starts at the instruction it interrupted, an exception's below the
// handler; the first address is that instruction, the others return addresses. The record is
// written with async-signal-safe calls only, into a temporary file that is renamed when
// complete.
class CrashHandler {
public:
    struct Settings {
        std::filesystem::path directory;
        std::string releaseName;
        std::string environment;
        // Whether uncaught exceptions are recorded with their type.
        bool uncaughtExceptions = true;
    };

    CrashHandler() = delete;

    // Installs the handlers, once per process, and starts recording. The alternate signal
    // stack serves the calling thread (the main thread); a stack overflow on another thread is
    // not recorded. False when already installed or when the settings do not fit the handler's
    // fixed buffers.
    [[nodiscard]] static bool install(const Settings& settings);
    // Stops or resumes recording; crashes are handed on either way. Recording needs the
    // handlers installed.
    static void setRecording(bool recording);
    static bool isRecording();
};

}  // namespace vorn
