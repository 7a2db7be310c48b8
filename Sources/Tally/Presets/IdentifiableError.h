#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace vorn::tally {

// How an error came about, as the error presets report it.
enum class ErrorCategory {
    thrownException,
    userInput,
    appState,
};

// "thrown-exception", "user-input" or "app-state".
std::string_view rawValue(ErrorCategory category);

// An error with a stable identifier of its kind, so that reports of one kind group together.
class IdentifiableError {
public:
    virtual ~IdentifiableError() = default;
    virtual std::string id() const = 0;
    // The error's description for people.
    virtual std::string localizedDescription() const = 0;
};

// Any error code under an identifier; it describes itself as the wrapped error does.
class AnyIdentifiableError final : public IdentifiableError {
public:
    AnyIdentifiableError(std::string id, std::error_code error)
        : m_id(std::move(id))
        , m_error(error) {}

    std::string id() const override { return m_id; }
    std::string localizedDescription() const override { return m_error.message(); }
    const std::error_code& error() const { return m_error; }

private:
    std::string m_id;
    std::error_code m_error;
};

// The error under the identifier.
inline AnyIdentifiableError withID(std::error_code error, std::string id) {
    return AnyIdentifiableError(std::move(id), error);
}

}  // namespace vorn::tally
