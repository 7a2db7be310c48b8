#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string_view>

#include "Geometry.h"
#include "RunLoop.h"

namespace vorn {

// The outcome of re-applying a frame until the window reports it.
enum class FrameStep {
    converged,  // the window reports the asked frame within the tolerance
    stalled,    // it moved away from where it was, then stopped short of the asked frame
    keepGoing   // no verdict: attempts or time ran out, or the frame could not be read
};

std::string_view frameStepName(FrameStep step);

struct FrameConvergence {
    static constexpr double tolerance = 2.0;
    static constexpr int maxAttempts = 4;
    static constexpr auto budget = std::chrono::milliseconds(150);
    // Between attempts, while the application animates its changes.
    static constexpr auto animatedPause = std::chrono::milliseconds(24);
    // Between attempts, with the application's animations switched off.
    static constexpr auto plainPause = std::chrono::milliseconds(6);

    struct Result {
        int attempts = 1;
        FrameStep step = FrameStep::keepGoing;

        friend bool operator==(const Result&, const Result&) = default;
    };

    // Whether minX, minY, width and height each differ by at most the tolerance. A value that
    // is not a number is never within it.
    static bool within(const Rect& a, const Rect& b);

    // Reads the frame and re-applies the target, pausing between attempts on the run loop's
    // clock, until the window reports the target, stops short of it, four readings were made
    // or the budget is spent. The first reading follows the caller's first burst at once.
    static Result converge(const Rect& target,
                           const std::optional<Rect>& original,
                           bool animated,
                           platform::RunLoop& runLoop,
                           const std::function<std::optional<Rect>()>& readFrame,
                           const std::function<void()>& applyBurst);
};

}  // namespace vorn
