#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "FrameConvergence.h"
#include "Geometry.h"
#include "Value.h"
#include "WindowLayerContext.h"

namespace vorn {

// One window of another application as the accessibility interface presents it, with its
// owning process. Every read asks the application again and nothing is cached; an element whose
// window has closed fails every read, and the readers then give their defaults. Coordinates are
// top-left ones: origin at the top left of the primary display, y growing downwards. Copies
// share the element. Main thread only; each request may block up to the messaging timeout.
class AXWindow {
public:
    AXWindow(const WindowLayerContext& context, platform::Element element, std::int32_t pid);

    const platform::Element& element() const { return m_element; }
    std::int32_t pid() const { return m_pid; }

    // A non-empty title; no value otherwise.
    std::optional<std::string> title() const;
    // The document's path or URL string; no value when the window shows none.
    std::optional<std::string> documentPath() const;
    // False when it cannot be read.
    bool isMinimized() const;
    // Position and size together; no value unless both read as such, finite and plausible.
    std::optional<Rect> frame() const;

    // Moves and resizes the window, re-applying the frame until it settles, and logs how it
    // went. Animations of the application are switched off for the change unless VoiceOver
    // needs them.
    void setFrame(const Rect& frame) const;
    // Un-minimises and raises the window after its application was brought to the front.
    void raiseAfterFront() const;

    // The application's windows, in its own order; none when they cannot be read.
    static std::vector<AXWindow> windows(const WindowLayerContext& context, std::int32_t pid);

private:
    void applyFrameBurst(const Rect& frame) const;
    FrameConvergence::Result converge(const Rect& target,
                                      const std::optional<Rect>& original,
                                      bool animated) const;
    std::optional<bool> appEnhancedUIEnabled(const platform::Element& app) const;
    std::optional<platform::Value> read(std::string_view attribute) const;

    const WindowLayerContext* m_context;
    platform::Element m_element;
    std::int32_t m_pid;
};

}  // namespace vorn
