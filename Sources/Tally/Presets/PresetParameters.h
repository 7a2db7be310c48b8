#pragma once

#include "Helpers/Parameters.h"

namespace vorn::tally {

// A preset's own parameters with the caller's laid over them: the caller wins for a key in
// both.
inline Parameters mergedOver(Parameters own, const Parameters& caller) {
    for (const auto& [key, value] : caller) {
        own.insert_or_assign(key, value);
    }
    return own;
}

}  // namespace vorn::tally
