#include "InMemoryTransactionUpdates.h"

#include <algorithm>

namespace vorn::tally::test {

class InMemoryTransactionUpdates::Stream final : public TransactionUpdateStream {
public:
    Stream(std::shared_ptr<InMemoryTransactionUpdates> source, std::shared_ptr<Reader> reader)
        : m_source(std::move(source))
        , m_reader(std::move(reader)) {}
    ~Stream() override { m_source->close(m_reader); }

    std::optional<TransactionUpdate> next(std::stop_token stop) override {
        auto& source = *m_source;
        std::unique_lock lock(source.m_mutex);
        m_reader->busy = false;
        source.m_changed.notify_all();
        source.m_changed.wait(lock, stop,
                              [&] { return !m_reader->updates.empty() || source.m_finished; });
        if (m_reader->updates.empty()) {
            return std::nullopt;
        }
        auto update = std::move(m_reader->updates.front());
        m_reader->updates.pop_front();
        m_reader->busy = true;
        return update;
    }

private:
    std::shared_ptr<InMemoryTransactionUpdates> m_source;
    std::shared_ptr<Reader> m_reader;
};

std::unique_ptr<TransactionUpdateStream> InMemoryTransactionUpdates::open() {
    auto reader = std::make_shared<Reader>();
    {
        std::lock_guard lock(m_mutex);
        m_readers.push_back(reader);
        m_mostOpen = std::max(m_mostOpen, m_readers.size());
    }
    return std::make_unique<Stream>(shared_from_this(), std::move(reader));
}

void InMemoryTransactionUpdates::close(const std::shared_ptr<Reader>& reader) {
    std::lock_guard lock(m_mutex);
    std::erase(m_readers, reader);
    m_changed.notify_all();
}

void InMemoryTransactionUpdates::push(const TransactionUpdate& update) {
    std::lock_guard lock(m_mutex);
    for (const auto& reader : m_readers) {
        reader->updates.push_back(update);
    }
    m_changed.notify_all();
}

void InMemoryTransactionUpdates::finish() {
    std::lock_guard lock(m_mutex);
    m_finished = true;
    m_changed.notify_all();
}

std::size_t InMemoryTransactionUpdates::openStreams() const {
    std::lock_guard lock(m_mutex);
    return m_readers.size();
}

std::size_t InMemoryTransactionUpdates::mostOpenStreams() const {
    std::lock_guard lock(m_mutex);
    return m_mostOpen;
}

bool InMemoryTransactionUpdates::waitUntilHandled(std::chrono::milliseconds timeout) const {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [this] {
        return std::all_of(m_readers.begin(), m_readers.end(), [](const auto& reader) {
            return reader->updates.empty() && !reader->busy;
        });
    });
}

bool InMemoryTransactionUpdates::waitForOpenStreams(std::size_t count,
                                                    std::chrono::milliseconds timeout) const {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return m_readers.size() == count; });
}

}  // namespace vorn::tally::test
