#pragma once

#include <string>
#include <string_view>

namespace vorn::tally {

// The reverse-domain prefix of the client's queue labels and of its settings suite.
inline constexpr std::string_view clientDomain = "dev.tally";

inline std::string clientLabel(std::string_view suffix) {
    return std::string(clientDomain) + "." + std::string(suffix);
}

}  // namespace vorn::tally
