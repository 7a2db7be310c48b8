#pragma once

#include <string_view>
#include <vector>

#include <xcb/xcb.h>

namespace vorn::platform::xcb {

// The atoms of the names, in their order, with one round trip: every request is sent before the
// first reply is read. XCB_ATOM_NONE for a name the server did not intern.
std::vector<xcb_atom_t> internAtoms(xcb_connection_t* connection,
                                    const std::vector<std::string_view>& names);

}  // namespace vorn::platform::xcb
