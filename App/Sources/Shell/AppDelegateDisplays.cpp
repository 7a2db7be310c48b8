#include <utility>

#include <QPointer>

#include "AppDelegate.h"
#include "Log.h"
#include "PlatformBackend.h"
#include "SessionTrust.h"

namespace vorn::app {
namespace {

std::string displayText(const std::optional<std::uint32_t>& display) {
    return display ? std::to_string(*display) : std::string("?");
}

}  // namespace

platform::RunLoop& AppDelegate::runLoop() const {
    return m_deps.backend->services().runLoop;
}

void AppDelegate::screensChanged() {
    if (!m_hostDisplayID) {
        return;
    }
    if (m_catalog.screen(*m_hostDisplayID)) {
        if (m_controller) {
            m_controller->repositionFlushLeft();
        }
        // The host's area may have grown, shrunk or been split: the list follows at once, not
        // at the next window change.
        if (m_model) {
            m_model->refresh();
        }
    }
    scheduleSettle();
}

void AppDelegate::scheduleSettle() {
    cancelSettle();
    QPointer<AppDelegate> self(this);
    m_settleWorkItem = runLoop().addTimer(settleInterval, false, [self] {
        if (self) {
            self->reconcileDisplays();
        }
    });
}

void AppDelegate::cancelSettle() {
    if (m_settleWorkItem) {
        runLoop().cancelTimer(*m_settleWorkItem);
        m_settleWorkItem.reset();
    }
}

void AppDelegate::reconcileDisplays() {
    m_settleWorkItem.reset();
    if (m_isReselecting || !m_hostDisplayID || !m_hostDisplayKey) {
        return;
    }
    const Rearmed before = std::exchange(m_rearmed, Rearmed::no);
    if (!SessionTrust::isDisplayConfigTrustworthy(m_deps.backend->services().windowServer)) {
        if (before != Rearmed::deferred) {
            vornAppLog().notice(
                "display reconcile deferred: session untrustworthy (locked/off-console)");
        }
        scheduleSettle();
        m_rearmed = Rearmed::deferred;
        return;
    }

    const std::vector<DisplaySnapshot> displays = m_catalog.snapshots();
    const DisplayHostDecision decision =
        DisplayHostReconciler::reconcile(*m_hostDisplayKey, *m_hostDisplayID, displays);
    const bool waiting = decision.kind() == DisplayHostDecision::Kind::wait;
    if (!waiting || before != Rearmed::waiting) {
        vornAppLog().notice("display reconcile: host=", *m_hostDisplayID,
                            " displays=", displays.size(), " -> ", decision.description());
    }
    switch (decision.kind()) {
        case DisplayHostDecision::Kind::realign:
            if (decision.display() == *m_hostDisplayID) {
                if (m_controller) {
                    m_controller->repositionFlushLeft();
                }
            } else {
                rehome(decision.display());
            }
            break;
        case DisplayHostDecision::Kind::autoAdopt:
            rehome(decision.display());
            break;
        case DisplayHostDecision::Kind::reselect:
            reselectHostDisplay();
            break;
        case DisplayHostDecision::Kind::wait:
            // A display that comes back announces itself too; this only guards against a
            // missed announcement, one pending step at a time.
            scheduleSettle();
            m_rearmed = Rearmed::waiting;
            break;
    }
}

void AppDelegate::rehome(std::uint32_t displayID) {
    if (!m_store) {
        return;
    }
    const bool wasShown = !m_controller || m_controller->isVisible();
    vornAppLog().notice("re-homing sidebar to display=", displayID,
                        " wasShown=", boolText(wasShown));
    teardownController();
    start(displayID, m_store, wasShown);
}

void AppDelegate::reselectHostDisplay() {
    if (m_isReselecting || !m_store) {
        return;
    }
    m_isReselecting = true;
    const std::optional<std::string> oldKey = m_hostDisplayKey;
    vornAppLog().notice("host display ", displayText(m_hostDisplayID),
                        " gone (settled); re-selecting");
    teardownController();
    m_hostDisplayID.reset();
    m_hostDisplayKey.reset();
    cancelSettle();

    QPointer<AppDelegate> self(this);
    const std::shared_ptr<Store> store = m_store;
    const auto chosen = [self, store](std::uint32_t displayID) {
        if (!self) {
            return;
        }
        self->m_isReselecting = false;
        self->start(displayID, store, true);
    };
    m_chooser.choose(oldKey, chosen, chosen);
}

void AppDelegate::teardownController() {
    m_rebindPicker.finish(RebindChoice::cancel());
    if (m_controller) {
        m_controller->orderOut();
        m_controller->close();
        m_controller.reset();
    }
    if (m_settingsController) {
        m_settingsController->close();
        m_settingsController.reset();
    }
    if (m_model) {
        // Something may still hold the model (an activation waiting for a window): it must
        // neither watch nor save once the next model owns the store.
        m_model->stop();
        m_model.reset();
    }
}

void AppDelegate::moveToDisplay(std::uint32_t target) {
    if (m_isReselecting) {
        return;
    }
    if (m_hostDisplayID == target || !m_catalog.screen(target)) {
        vornAppLog().notice("moveToDisplay ignored: target=", target,
                            " is current or no longer connected");
        return;
    }
    m_isReselecting = true;
    vornAppLog().notice("moveToDisplay from=", displayText(m_hostDisplayID), " to=", target);
    rehome(target);
    m_isReselecting = false;
}

}  // namespace vorn::app
