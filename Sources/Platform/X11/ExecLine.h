#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "DesktopEntries.h"

namespace vorn::platform::x11 {

// The program and arguments of an entry's Exec line for the given documents (absolute local
// paths), with its field codes expanded: %f and %u take one document, %F and %U all of them,
// %i the icon, %c the name, %k the entry's file, %% a percent sign; deprecated codes vanish.
// Documents that the line has no code for are appended as paths. No value when the line is
// empty or its quoting is broken.
std::optional<std::vector<std::string>> expandExec(const DesktopEntry& entry,
                                                   std::span<const std::string> documents);

// Whether the Exec line takes several documents at once (%F or %U); otherwise each document
// needs a launch of its own.
bool takesManyDocuments(std::string_view exec);

}  // namespace vorn::platform::x11
