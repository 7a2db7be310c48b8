#pragma once

#include <map>
#include <string>

namespace vorn::tally {

// Signal parameters: text keys and text values.
using Parameters = std::map<std::string, std::string>;

// The same values under keys passed through transform. Entries are visited in key order; when
// two keys map to the same new key, the entry visited later wins.
template <typename Transform>
Parameters mapKeys(const Parameters& parameters, Transform&& transform) {
    Parameters mapped;
    for (const auto& [key, value] : parameters) {
        mapped.insert_or_assign(transform(key), value);
    }
    return mapped;
}

}  // namespace vorn::tally
