#include "FrameConvergence.h"

#include <cmath>

namespace vorn {
namespace {

bool close(double a, double b) {
    // NaN fails the comparison, so it is never close.
    return std::abs(a - b) <= FrameConvergence::tolerance;
}

}  // namespace

std::string_view frameStepName(FrameStep step) {
    switch (step) {
        case FrameStep::converged:
            return "converged";
        case FrameStep::stalled:
            return "stalled";
        case FrameStep::keepGoing:
            return "keepGoing";
    }
    return "keepGoing";
}

bool FrameConvergence::within(const Rect& a, const Rect& b) {
    return close(a.minX(), b.minX()) && close(a.minY(), b.minY()) && close(a.width(), b.width())
           && close(a.height(), b.height());
}

FrameConvergence::Result FrameConvergence::converge(
    const Rect& target,
    const std::optional<Rect>& original,
    bool animated,
    platform::RunLoop& runLoop,
    const std::function<std::optional<Rect>()>& readFrame,
    const std::function<void()>& applyBurst) {
    const platform::Duration pause =
        animated ? platform::Duration(animatedPause) : platform::Duration(plainPause);
    const platform::MonotonicTime deadline = runLoop.now() + budget;
    if (!original || runLoop.now() >= deadline) {
        return {1, FrameStep::keepGoing};
    }

    int attempt = 1;
    std::optional<Rect> previous;
    for (;;) {
        const std::optional<Rect> reading = readFrame();
        if (!reading) {
            return {attempt, FrameStep::keepGoing};
        }
        if (within(*reading, target)) {
            return {attempt, FrameStep::converged};
        }
        // Two equal readings in a row: the window has stopped. Only a window that moved at all
        // has stalled; one that has not moved yet may still be about to.
        if (previous && within(*reading, *previous) && !within(*reading, *original)) {
            return {attempt, FrameStep::stalled};
        }
        if (attempt == maxAttempts) {
            return {maxAttempts, FrameStep::keepGoing};
        }
        runLoop.sleepFor(pause);
        applyBurst();
        ++attempt;
        previous = reading;
        if (runLoop.now() >= deadline) {
            return {attempt, FrameStep::keepGoing};
        }
    }
}

}  // namespace vorn
