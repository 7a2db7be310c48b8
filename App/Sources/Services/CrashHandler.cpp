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

#include <cxxabi.h>
#include <execinfo.h>
#include <fcntl.h>
#include <unistd.h>

namespace vorn {
namespace {

constexpr int fatalSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};
constexpr int signalCount = sizeof fatalSignals / sizeof fatalSignals[0];
constexpr int maximumFrames = 64;
constexpr std::size_t alternateStackSize = 64 * 1024;

// Everything the handlers use is prepared at installation and lives in static storage, so that
// a crash needs no allocation.
struct State {
    char directory[PATH_MAX] = {};
    char release[1024] = {};     // JSON-escaped
    char environment[256] = {};  // JSON-escaped
    struct sigaction previous[signalCount] = {};
    std::terminate_handler previousTerminate = nullptr;
    std::atomic<bool> installed{false};
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

// Async-signal-safe: clock_gettime, getpid, open, write, fsync, close, rename, unlink and
// glibc's backtrace, which needs no allocation once libgcc is loaded (install loads it).
void writeRecord(const char* kind, const char* type, int signal) {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    void* frames[maximumFrames];
    const int frameCount = ::backtrace(frames, maximumFrames);
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
    for (int i = 0; i < frameCount; ++i) {
        if (i > 0) {
            record.raw(",");
        }
        record.raw("\"");
        record.hex(reinterpret_cast<std::uintptr_t>(frames[i]));
        record.raw("\"");
    }
    record.raw("]}\n");
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
    const bool written = writeAll(fd, state.record, record.size()) && ::fsync(fd) == 0;
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
    if (!state.claimed.exchange(true)) {
        writeRecord("signal", signalName(signal), signal);
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

void onTerminate() {
    if (!state.claimed.exchange(true)) {
        const char* type = "std::terminate";
        char* demangled = nullptr;
        if (const std::type_info* thrown = abi::__cxa_current_exception_type()) {
            int status = -1;
            demangled = abi::__cxa_demangle(thrown->name(), nullptr, nullptr, &status);
            type = status == 0 && demangled != nullptr ? demangled : thrown->name();
        }
        writeRecord("exception", type, 0);
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

    // The first backtrace loads libgcc, which allocates; a crash must not be the first.
    void* warmUp[1];
    (void)::backtrace(warmUp, 1);

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
    return true;
}

}  // namespace vorn
