#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "Purchases/TransactionUpdates.h"

namespace vorn::tally::test {

// Transaction updates that a test pushes. Every open stream receives each update pushed while
// it is open; a stream counts as busy from handing out an update until its reader asks for the
// next one or closes it.
class InMemoryTransactionUpdates final
    : public TransactionUpdates,
      public std::enable_shared_from_this<InMemoryTransactionUpdates> {
public:
    std::unique_ptr<TransactionUpdateStream> open() override;

    void push(const TransactionUpdate& update);
    // Ends every stream open now and every one opened later.
    void finish();

    std::size_t openStreams() const;
    // The most streams that were open at the same time.
    std::size_t mostOpenStreams() const;
    // Waits until every open stream's reader has taken and handled every update; false after
    // the timeout, which only guards against a hang.
    bool waitUntilHandled(std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;
    // Waits until exactly count streams are open; false after the timeout.
    bool waitForOpenStreams(std::size_t count,
                            std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;

private:
    struct Reader {
        std::deque<TransactionUpdate> updates;
        bool busy = false;
    };
    class Stream;

    void close(const std::shared_ptr<Reader>& reader);

    mutable std::mutex m_mutex;
    mutable std::condition_variable_any m_changed;
    std::vector<std::shared_ptr<Reader>> m_readers;
    std::size_t m_mostOpen = 0;
    bool m_finished = false;
};

}  // namespace vorn::tally::test
