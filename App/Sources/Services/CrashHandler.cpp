#include "CrashHandler.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <exception>

#include "LoadedModules.h"

#include <cxxabi.h>
#include <fcntl.h>
#include <ucontext.h>
#include <unistd.h>
#include <unwind.h>

namespace vorn {
namespace {

constexpr int fatalSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};
constexpr int signalCount = sizeof fatalSignals / sizeof fatalSignals[0];
constexpr int maximumFrames = 64;
constexpr std::size_t alternateStackSize = 64 * 1024;
constexpr std::size_t modulesSize = 128 * 1024;

// Everything the handlers use is prepared at installation and lives in static storage, so that
// a crash needs no allocation.
struct State {
    char directory[PATH_MAX] = {};
    char release[1024] = {};     // JSON-escaped
    char environment[256] = {};  // JSON-escaped
    struct sigaction previous[signalCount] = {};
    std::terminate_handler previousTerminate = nullptr;
    // The loaded modules as a JSON array, written at installation.
    char modules[modulesSize] = {};
    std::atomic<bool> installed{false};
    // Off while the user does not allow crash reports: crashes are handed on unrecorded.
    std::atomic<bool> recording{false};
    // Set by the first crash: the abort that follows an uncaught exception writes nothing more.
    std::atomic<bool> claimed{false};
    char record[16384] = {};
    alignas(16) char alternateStack[alternateStackSize] = {};
};

State state;

// Appends to a fixed buffer; text that does not fit is cut.
class Writer {
public:
    Writer(char* buffer, std::size_t capacity)
        : m_buffer(buffer)
        , m_capacity(capacity) {}

    void raw(const char* text) {
        for (; *text != '\0'; ++text) {
            put(*text);
        }
    }

    // Text inside a JSON string: quotes, backslashes and control characters escaped.
    void escaped(const char* text) {
        static const char digits[] = "0123456789abcdef";
        for (; *text != '\0'; ++text) {
            const auto c = static_cast<unsigned char>(*text);
            if (c == '"' || c == '\\') {
                put('\\');
                put(static_cast<char>(c));
            } else if (c < 0x20) {
                raw("\\u00");
                put(digits[c >> 4]);
                put(digits[c & 0x0F]);
            } else {
                put(static_cast<char>(c));
            }
        }
    }

    void number(std::uint64_t value) {
        char digits[24];
        int n = 0;
        do {
            digits[n++] = static_cast<char>('0' + value % 10);
            value /= 10;
        } while (value != 0);
        while (n > 0) {
            put(digits[--n]);
        }
    }

    void hex(std::uint64_t value) {
        static const char digits[] = "0123456789abcdef";
        raw("0x");
        bool started = false;
        for (int shift = 60; shift >= 0; shift -= 4) {
            const int digit = static_cast<int>((value >> shift) & 0x0F);
            if (digit != 0 || started || shift == 0) {
                put(digits[digit]);
                started = true;
            }
        }
    }

    std::size_t size() const { return m_size; }
    bool fits() const { return m_fits; }

private:
    void put(char c) {
        if (m_size + 1 < m_capacity) {
            m_buffer[m_size++] = c;
            m_buffer[m_size] = '\0';
        } else {
            m_fits = false;
        }
    }

    char* m_buffer;
    std::size_t m_capacity;
    std::size_t m_size = 0;
    bool m_fits = true;
};

const char* signalName(int signal) {
    switch (signal) {
        case SIGSEGV:
            return "SIGSEGV";
        case SIGBUS:
            return "SIGBUS";
        case SIGILL:
            return "SIGILL";
        case SIGFPE:
            return "SIGFPE";
        case SIGABRT:
            return "SIGABRT";
        default:
            return "SIGNAL";
    }
}

bool writeAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

struct Capture {
    std::uintptr_t frames[maximumFrames];
    int count = 0;
    // The instruction the signal interrupted; 0 for a crash without a signal context.
    std::uintptr_t interrupted = 0;
    bool started = false;
};

void captureStack(Capture& capture);
void writeRecord(const char* kind, const char* type, int signal, std::uintptr_t interrupted);
void onTerminate();

// The crash handler's own frames: an uncaught exception's stack starts below them.
bool isHandlerFrame(std::uintptr_t functionStart) {
    return functionStart == reinterpret_cast<std::uintptr_t>(&captureStack)
           || functionStart == reinterpret_cast<std::uintptr_t>(&writeRecord)
           || functionStart == reinterpret_cast<std::uintptr_t>(&onTerminate);
}

_Unwind_Reason_Code collectFrame(_Unwind_Context* context, void* data) {
    auto& capture = *static_cast<Capture*>(data);
    int beforeInstruction = 0;
    const std::uintptr_t address = _Unwind_GetIPInfo(context, &beforeInstruction);
    if (!capture.started) {
        // A signal's stack starts at the interrupted instruction, below the handler and the
        // kernel's return trampoline.
        const bool skipped =
            capture.interrupted != 0
                ? address != capture.interrupted
                : isHandlerFrame(static_cast<std::uintptr_t>(_Unwind_GetRegionStart(context)));
        if (skipped) {
            return _URC_NO_REASON;
        }
        capture.started = true;
    }
    if (capture.count >= maximumFrames) {
        return _URC_END_OF_STACK;
    }
    capture.frames[capture.count++] = address;
    return _URC_NO_REASON;
}

// libgcc's unwinder finds unwind tables through _dl_find_object, which neither locks nor
// allocates, so it may run in a signal handler.
[[gnu::noinline]] void captureStack(Capture& capture) {
    _Unwind_Backtrace(collectFrame, &capture);
    if (capture.interrupted != 0 && !capture.started) {
        // The unwinder could not step through the signal frame: the faulting instruction alone
        // still says where.
        capture.frames[0] = capture.interrupted;
        capture.count = 1;
    }
}

std::uintptr_t interruptedInstruction(void* context) {
    if (context == nullptr) {
        return 0;
    }
    const auto* user = static_cast<const ucontext_t*>(context);
#if defined(__x86_64__)
    return static_cast<std::uintptr_t>(user->uc_mcontext.gregs[REG_RIP]);
#elif defined(__aarch64__)
    return static_cast<std::uintptr_t>(user->uc_mcontext.pc);
#else
    (void)user;
    return 0;
#endif
}

// Async-signal-safe: clock_gettime, getpid, open, write, fsync, close, rename, unlink and the
// unwinder (see captureStack).
[[gnu::noinline]] void writeRecord(const char* kind,
                                   const char* type,
                                   int signal,
                                   std::uintptr_t interrupted) {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    Capture capture;
    capture.interrupted = interrupted;
    captureStack(capture);
    const auto seconds = static_cast<std::uint64_t>(now.tv_sec > 0 ? now.tv_sec : 0);
    const auto pid = static_cast<std::uint64_t>(::getpid());

    Writer record(state.record, sizeof state.record);
    record.raw("{\"version\":1,\"kind\":\"");
    record.raw(kind);
    record.raw("\",\"type\":\"");
    record.escaped(type);
    record.raw("\",\"signal\":");
    record.number(static_cast<std::uint64_t>(signal));
    record.raw(",\"timestamp\":");
    record.number(seconds);
    record.raw(",\"release\":\"");
    record.raw(state.release);
    record.raw("\",\"environment\":\"");
    record.raw(state.environment);
    record.raw("\",\"frames\":[");
    for (int i = 0; i < capture.count; ++i) {
        if (i > 0) {
            record.raw(",");
        }
        record.raw("\"");
        record.hex(capture.frames[i]);
        record.raw("\"");
    }
    record.raw("],\"modules\":");
    if (!record.fits()) {
        return;
    }

    char temporary[PATH_MAX + 64];
    Writer temporaryPath(temporary, sizeof temporary);
    temporaryPath.raw(state.directory);
    temporaryPath.raw("/.");
    temporaryPath.number(seconds);
    temporaryPath.raw("-");
    temporaryPath.number(pid);
    temporaryPath.raw(".tmp");
    char final[PATH_MAX + 64];
    Writer finalPath(final, sizeof final);
    finalPath.raw(state.directory);
    finalPath.raw("/");
    finalPath.number(seconds);
    finalPath.raw("-");
    finalPath.number(pid);
    finalPath.raw(".json");
    if (!temporaryPath.fits() || !finalPath.fits()) {
        return;
    }

    const int fd = ::open(temporary, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        return;
    }
    const bool written = writeAll(fd, state.record, record.size())
                         && writeAll(fd, state.modules, ::strlen(state.modules))
                         && writeAll(fd, "}\n", 2) && ::fsync(fd) == 0;
    ::close(fd);
    if (!written || ::rename(temporary, final) != 0) {
        ::unlink(temporary);
    }
}

int indexOf(int signal) {
    for (int i = 0; i < signalCount; ++i) {
        if (fatalSignals[i] == signal) {
            return i;
        }
    }
    return -1;
}

void onFatalSignal(int signal, siginfo_t* info, void* context) {
    const int savedErrno = errno;
    if (state.recording.load() && !state.claimed.exchange(true)) {
        writeRecord("signal", signalName(signal), signal, interruptedInstruction(context));
    }
    const int index = indexOf(signal);
    struct sigaction previous {};
    if (index >= 0) {
        previous = state.previous[index];
    }
    // Ignoring a fault would run the faulting instruction for ever.
    if ((previous.sa_flags & SA_SIGINFO) == 0 && previous.sa_handler == SIG_IGN) {
        previous.sa_handler = SIG_DFL;
    }
    ::sigaction(signal, &previous, nullptr);
    if ((previous.sa_flags & SA_SIGINFO) != 0 && previous.sa_sigaction != nullptr) {
        previous.sa_sigaction(signal, info, context);
    } else if (previous.sa_handler != SIG_DFL && previous.sa_handler != SIG_IGN) {
        previous.sa_handler(signal);
    } else {
        // Delivered as soon as this handler returns, now with the default action.
        ::raise(signal);
    }
    errno = savedErrno;
}

[[gnu::noinline]] void onTerminate() {
    if (state.recording.load() && !state.claimed.exchange(true)) {
        const char* type = "std::terminate";
        char* demangled = nullptr;
        if (const std::type_info* thrown = abi::__cxa_current_exception_type()) {
            int status = -1;
            demangled = abi::__cxa_demangle(thrown->name(), nullptr, nullptr, &status);
            type = status == 0 && demangled != nullptr ? demangled : thrown->name();
        }
        writeRecord("exception", type, 0, 0);
        std::free(demangled);
    }
    if (state.previousTerminate != nullptr) {
        state.previousTerminate();
    }
    std::abort();
}

bool copyEscaped(char* target, std::size_t capacity, const std::string& text) {
    Writer writer(target, capacity);
    writer.escaped(text.c_str());
    return writer.fits() && text.find('\0') == std::string::npos;
}

// The modules as a JSON array into the static buffer; those that do not fit are left out.
void recordModules() {
    Writer modules(state.modules, sizeof state.modules);
    modules.raw("[");
    std::size_t kept = 1;
    bool first = true;
    for (const LoadedModule& module : loadedModules()) {
        if (module.path.find('\0') != std::string::npos) {
            continue;
        }
        if (!first) {
            modules.raw(",");
        }
        modules.raw("{\"path\":\"");
        modules.escaped(module.path.c_str());
        modules.raw("\",\"address\":\"");
        modules.hex(module.address);
        modules.raw("\",\"size\":");
        modules.number(module.size);
        modules.raw(",\"buildId\":\"");
        modules.raw(module.buildId.c_str());
        modules.raw("\"}");
        // Room for the closing bracket.
        if (!modules.fits() || modules.size() + 2 > sizeof state.modules) {
            break;
        }
        kept = modules.size();
        first = false;
    }
    state.modules[kept] = '\0';
    std::strcat(state.modules, "]");
}

}  // namespace

bool CrashHandler::install(const Settings& settings) {
    if (state.installed.exchange(true)) {
        return false;
    }
    const std::string directory = settings.directory.string();
    if (directory.size() >= sizeof state.directory
        || !copyEscaped(state.release, sizeof state.release, settings.releaseName)
        || !copyEscaped(state.environment, sizeof state.environment, settings.environment)) {
        state.installed = false;
        return false;
    }
    std::memcpy(state.directory, directory.c_str(), directory.size() + 1);

    recordModules();
    // Whatever the first unwinding sets up happens here rather than in a crash.
    Capture warmUp;
    captureStack(warmUp);

    stack_t stack{};
    stack.ss_sp = state.alternateStack;
    stack.ss_size = sizeof state.alternateStack;
    stack.ss_flags = 0;
    ::sigaltstack(&stack, nullptr);

    struct sigaction action {};
    action.sa_sigaction = onFatalSignal;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    for (int signal : fatalSignals) {
        sigaddset(&action.sa_mask, signal);
    }
    for (int i = 0; i < signalCount; ++i) {
        ::sigaction(fatalSignals[i], &action, &state.previous[i]);
    }
    if (settings.uncaughtExceptions) {
        state.previousTerminate = std::set_terminate(onTerminate);
    }
    state.recording = true;
    return true;
}

void CrashHandler::setRecording(bool recording) {
    state.recording = recording && state.installed.load();
}

bool CrashHandler::isRecording() {
    return state.recording.load();
}

}  // namespace vorn
