#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "Log.h"

namespace vorn::fuzz {

// Log lines are expected while decoding damaged input; writing them would only slow fuzzing.
inline void silenceLog() {
    class SilentSink final : public LogSink {
    public:
        void write(LogLevel, std::string_view, std::string_view) override {}
    };
    static const bool silenced = [] {
        setLogSink(std::make_shared<SilentSink>());
        return true;
    }();
    (void)silenced;
}

inline std::string_view bytesOf(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// A broken promise of the code under test: crash, so that the fuzzer keeps the input.
inline void check(bool holds) {
    if (!holds) {
        std::abort();
    }
}

}  // namespace vorn::fuzz
