#pragma once

namespace vorn {

// Sends the analytics client's messages into the program's log (category "observability"), so
// that they carry the program's journal identifier and obey its log level.
void forwardAnalyticsLog();

}  // namespace vorn
