#pragma once

namespace vorn::tally {

// What the client keeps about the user on this machine, and its removal when the user
// withdraws consent.
class ClientData {
public:
    ClientData() = delete;

    // Removes the installed client and stops its delivery, then deletes everything it keeps:
    // the unsent signals (in memory and on disk), the user identifier, the session statistics
    // and every other value of its settings suite. Nothing of it is written again unless a
    // client is initialised anew. Without an installed client only the default cache file is
    // deleted.
    static void terminateAndErase();
};

}  // namespace vorn::tally
