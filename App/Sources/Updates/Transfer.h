#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "Executor.h"
#include "UpdateError.h"

namespace vorn::updates {

struct TransferRequest {
    std::string url;
    // Where the answer is written (the file must exist and is truncated); none: into memory.
    std::optional<std::filesystem::path> file;
    // An answer longer than this ends the transfer with an error.
    std::uint64_t maximumBytes = 0;
};

struct TransferResult {
    // Set when the transfer failed: curl's code, an HTTP status outside 2xx, or a file error.
    std::optional<UpdateError> error;
    std::string body;  // the answer, when it went to memory
    std::uint64_t received = 0;
};

// One GET through libcurl on a thread of its own: http and https only, redirects followed only
// within the address's scheme, host and port (the analytics client's rule; any other ends the
// transfer with an error that names it), certificates verified, given up after 60 seconds
// without progress. Progress and the result
// arrive on the main thread through the executor. Destroying the transfer cancels it, waits
// for its thread, and drops whatever has not been delivered yet.
class Transfer {
public:
    using Progress = std::function<void(std::uint64_t received, std::uint64_t total)>;
    using Completion = std::function<void(TransferResult)>;

    static std::unique_ptr<Transfer> start(TransferRequest request,
                                           MainExecutor& main,
                                           Progress onProgress,
                                           Completion onDone);
    ~Transfer();
    Transfer(const Transfer&) = delete;
    Transfer& operator=(const Transfer&) = delete;

    // Shared by the transfer, its thread and what it posted; opaque.
    struct State;

private:
    explicit Transfer(std::shared_ptr<State> state);
    std::shared_ptr<State> m_state;
};

// The reference resolved against the base address (an absolute reference stays as it is); no
// value when either cannot be read as an address.
std::optional<std::string> resolveAddress(const std::string& base, const std::string& reference);

}  // namespace vorn::updates
