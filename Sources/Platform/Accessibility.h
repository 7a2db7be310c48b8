#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "Value.h"

namespace vorn::platform {

// The outcome of one accessibility request.
enum class AXStatus {
    success,
    failure,
    illegalArgument,
    invalidElement,
    // The application did not answer within the messaging timeout.
    cannotComplete,
    attributeUnsupported,
    actionUnsupported,
    noValue,
    notTrusted
};

std::string_view statusName(AXStatus status);

template <typename T>
struct AXReply {
    AXStatus status = AXStatus::failure;
    std::optional<T> value;
};

// Names of the attributes, actions and values the window layer uses.
namespace ax {
inline constexpr std::string_view title = "AXTitle";
inline constexpr std::string_view document = "AXDocument";
inline constexpr std::string_view url = "AXURL";
inline constexpr std::string_view minimized = "AXMinimized";
inline constexpr std::string_view position = "AXPosition";
inline constexpr std::string_view size = "AXSize";
inline constexpr std::string_view subrole = "AXSubrole";
inline constexpr std::string_view windows = "AXWindows";
inline constexpr std::string_view focusedWindow = "AXFocusedWindow";
inline constexpr std::string_view enhancedUserInterface = "AXEnhancedUserInterface";
inline constexpr std::string_view menuBar = "AXMenuBar";
inline constexpr std::string_view children = "AXChildren";
inline constexpr std::string_view enabled = "AXEnabled";
inline constexpr std::string_view menuItemCmdChar = "AXMenuItemCmdChar";
inline constexpr std::string_view menuItemCmdModifiers = "AXMenuItemCmdModifiers";

inline constexpr std::string_view raiseAction = "AXRaise";
inline constexpr std::string_view pressAction = "AXPress";

inline constexpr std::string_view standardWindowSubrole = "AXStandardWindow";
}  // namespace ax

// Other applications' user-interface elements: reading and writing their attributes and
// performing their actions. Every request is synchronous and bounded by the messaging timeout.
class Accessibility {
public:
    virtual ~Accessibility() = default;

    // Whether this process may use the interface. Never prompts.
    virtual bool isProcessTrusted() = 0;
    // Shows the system's permission prompt when the process is not trusted yet and returns at
    // once with the trust state at this moment.
    virtual bool promptForTrust() = 0;

    // The element that stands for every application; its messaging timeout applies to all.
    virtual Element systemWideElement() = 0;
    virtual Element applicationElement(std::int32_t pid) = 0;

    // A value only with success; success may still carry no value.
    virtual AXReply<Value> copyAttributeValue(const Element& element,
                                              std::string_view attribute) = 0;
    virtual AXStatus setAttributeValue(const Element& element,
                                       std::string_view attribute,
                                       const Value& value) = 0;
    virtual AXReply<bool> isAttributeSettable(const Element& element,
                                              std::string_view attribute) = 0;
    virtual AXStatus performAction(const Element& element, std::string_view action) = 0;
    // The longest any request to the element waits for its application, in seconds; on the
    // system-wide element it applies to every request of the process.
    virtual AXStatus setMessagingTimeout(const Element& element, double seconds) = 0;
};

}  // namespace vorn::platform
