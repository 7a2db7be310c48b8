#pragma once

#include <curl/curl.h>

namespace vorn::host {

// Readies libcurl and the TLS library under it, once per process. Any thread; call before the
// first handle is made.
void initialiseCurl();

// The options every transfer of the program shares: http and https only, certificates and host
// names verified, a connection given up after a minute without progress, and loopback addresses
// never sent through a proxy (along with those the environment's no_proxy names). False when
// libcurl refuses one of them.
[[nodiscard]] bool applyCommonOptions(CURL* easy);

}  // namespace vorn::host
