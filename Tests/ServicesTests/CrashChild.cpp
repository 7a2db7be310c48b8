// Usage:
//   VornCrashChild <data directory> crash null|abort|exception
//   VornCrashChild <data directory> crash-withdrawn null  (crash reporting stopped first)
//   VornCrashChild <data directory> start <consent 0|1> <crash DSN>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>

#include "CrashReporter.h"
#include "Observability.h"

#include <sys/prctl.h>
#include <sys/resource.h>

namespace {

// Out of reach of the sanitizers, which would otherwise report the fault themselves.
[[gnu::noinline,
  gnu::no_sanitize_address,
  gnu::no_sanitize_undefined,
  gnu::no_sanitize_thread]] void
dereferenceNull() {
    volatile int* volatile target = nullptr;
    *target = 1;
}

[[noreturn, gnu::noinline]] void crash(const std::string& how) {
    if (how == "null") {
        dereferenceNull();
    } else if (how == "exception") {
        throw std::runtime_error("deliberate");
    }
    std::abort();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        return 2;
    }
    // No core files from deliberate crashes.
    ::prctl(PR_SET_DUMPABLE, 0);
    const rlimit noCore{0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);

    const std::string dataDirectory = argv[1];
    const std::string mode = argv[2];
    if (mode == "crash" || mode == "crash-withdrawn") {
        vorn::CrashReporter reporter(dataDirectory);
        reporter.start([](vorn::CrashOptions& options) {
            options.setDsn("http://key@127.0.0.1:9/1");
            options.setEnableUncaughtExceptionReporting(true);
            options.setReleaseName("org.vorn.Vorn@9.9.9+9");
            options.setEnvironment("production");
        });
        if (mode == "crash-withdrawn") {
            reporter.stop();
        }
        crash(argv[3]);
    }
    if (mode == "start" && argc >= 5) {
        auto reporter = std::make_shared<vorn::CrashReporter>(dataDirectory);
        vorn::ObservabilitySetup setup;
        setup.dataDirectory = dataDirectory;
        setup.deployment = {argv[4], "", ""};
        setup.bundle = {"1.0.0", "7"};
        setup.crashBackend = reporter;
        vorn::Observability observability(std::strcmp(argv[3], "1") == 0, setup);
        observability.start();
        return reporter->flush(std::chrono::seconds(20)) ? 0 : 3;
    }
    return 2;
}
