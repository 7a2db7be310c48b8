#include "AppDelegate.h"

#include <QPointer>

#include "AccessibilityAuthorization.h"
#include "Log.h"
#include "ModalAlert.h"
#include "OpenFailureAlert.h"
#include "PlatformBackend.h"
#include "ScreenEvents.h"
#include "TranslocationGuard.h"

namespace vorn::app {

AppDelegate::AppDelegate(AppDependencies dependencies)
    : m_deps(std::move(dependencies))
    , m_catalog(m_deps.backend->services().screens, m_deps.backend->services().windowServer)
    , m_panelScreens(m_catalog)
    , m_chooser(m_catalog, *m_deps.screenEvents) {}

AppDelegate::~AppDelegate() {
    cancelSettle();
    teardownController();
}

void AppDelegate::applicationDidFinishLaunching() {
    m_deps.backend->preloadFocusFrameworks();
    bootstrap();
    m_store = std::make_shared<JSONFileStore>(m_deps.dataDirectory / "state.json");
    connect(m_deps.screenEvents, &ScreenEvents::changed, this, &AppDelegate::screensChanged);

    QPointer<AppDelegate> self(this);
    m_menuBar = std::make_unique<MenuBarController>();
    m_menuBar->isSidebarShown = [self] {
        return self && self->m_controller && self->m_controller->isVisible();
    };
    m_menuBar->onToggleSidebar = [self] {
        if (!self || !self->m_controller) {
            return false;
        }
        SidebarPanelHost& panel = *self->m_controller;
        if (panel.isVisible()) {
            panel.orderOut();
        } else {
            panel.orderFront();
        }
        return panel.isVisible();
    };
    m_menuBar->onOpenSettings = [self] {
        if (self && self->m_settingsController) {
            self->m_settingsController->show();
        } else {
            vornAppLog().notice(
                "openSettings ignored: settings unavailable (host selection pending)");
        }
    };
    m_menuBar->onCheckForUpdates = [self] {
        if (!self) {
            return;
        }
        self->send(TelemetryEvent::updateCheckRequested());
        if (self->m_softwareUpdater) {
            self->m_softwareUpdater->checkForUpdates();
        }
    };
    m_menuBar->onSendFeedback = [self] {
        if (self && self->m_feedbackController) {
            self->m_feedbackController->show();
        }
    };
    m_menuBar->onTrayAvailabilityChanged = [self](bool) {
        if (self) {
            self->placeStatusItems();
        }
    };

    const std::shared_ptr<Store> store = m_store;
    m_chooser.choose(std::nullopt, nullptr, [self, store](std::uint32_t displayID) {
        if (self) {
            self->start(displayID, store, true);
        }
    });
}

void AppDelegate::bootstrap() {
    if (m_didBootstrap) {
        return;
    }
    m_didBootstrap = true;

    TranslocationGuard::checkAndWarn(m_deps.bundlePath);
    m_softwareUpdater = m_deps.makeUpdater();
    m_consentStore = std::make_shared<JSONFileConsentStore>(m_deps.dataDirectory / "consent.json");
    m_consentController = std::make_unique<ConsentController>(m_consentStore, m_deps.appVersion);
    const ConsentState consent = m_consentController->resolveFirstRunDisclosure();

    auto observability = m_deps.makeObservability(consent.telemetryEnabled);
    observability->start();
    observability->sink()->send(TelemetryEvent::appLaunched());
    m_observability = std::move(observability);
    m_usageDataPreference = std::make_unique<UsageDataPreference>(
        m_consentStore, *m_observability, consent.telemetryEnabled, m_deps.appVersion);

    QPointer<AppDelegate> self(this);
    m_feedbackController = m_deps.makeFeedback([self] {
        if (self) {
            self->send(TelemetryEvent::feedbackSent());
        }
    });

    platform::Accessibility& accessibility = m_deps.backend->services().accessibility;
    if (!AccessibilityAuthorization::isTrusted(accessibility)) {
        send(m_axFunnel.promptShownEvent());
        (void)AccessibilityAuthorization::prompt(accessibility);
    }
    // The first observation only records the state.
    (void)m_axFunnel.update(AccessibilityAuthorization::isTrusted(accessibility));
    m_deps.backend->observeTrustChanges([self] {
        if (self) {
            self->handleAXTrustChanged();
        }
    });
}

void AppDelegate::handleAXTrustChanged() {
    const bool trusted =
        AccessibilityAuthorization::isTrusted(m_deps.backend->services().accessibility);
    const auto event = m_axFunnel.update(trusted);
    if (!event) {
        return;
    }
    send(*event);
    vornAppLog().notice("accessibility trust changed -> ", event->signalName());
}

void AppDelegate::start(std::uint32_t displayID, std::shared_ptr<Store> store, bool show) {
    m_hostDisplayID = displayID;
    m_hostDisplayKey = m_catalog.stableKey(displayID);

    auto manager = m_deps.backend->makeWindowManager(displayID);
    QPointer<RebindPicker> picker(&m_rebindPicker);
    auto presenter = [picker](RebindRequest request, RebindCompletion completion) {
        if (picker) {
            picker->present(std::move(request), std::move(completion));
        }
    };
    m_model =
        SidebarModel::make(std::move(manager), std::move(store), presenter,
                           m_observability ? m_observability->sink() : nullptr, m_deps.executor);
    QPointer<AppDelegate> alerting(this);
    m_model->setOpenFailureReporter([alerting](const OpenFailure& failure) {
        // The click's activation is still running: the alert waits for the next turn.
        if (alerting) {
            QMetaObject::invokeMethod(
                alerting.data(), [failure] { ModalAlert::run(openFailureAlert(failure)); },
                Qt::QueuedConnection);
        }
    });

    send(TelemetryEvent::displayConfig(
        countBucket(static_cast<long long>(m_catalog.options().size())),
        countBucket(static_cast<long long>(m_model->spaces().size()))));

    m_settingsController =
        m_deps.makeSettings(m_model, m_softwareUpdater.get(), m_usageDataPreference.get());

    QPointer<AppDelegate> self(this);
    DisplayHostMenu hostMenu;
    hostMenu.currentHostID = displayID;
    hostMenu.displays = [self] {
        std::vector<DisplayForMove> displays;
        if (self) {
            for (const DisplayOption& option : self->m_catalog.options()) {
                displays.push_back({option.id, option.name, option.isMain});
            }
        }
        return displays;
    };
    hostMenu.move = [self](std::uint32_t target) {
        if (!self) {
            return;
        }
        // The menu that asks belongs to the panel the move replaces: move after it returns.
        QMetaObject::invokeMethod(
            self.data(),
            [self, target] {
                if (self) {
                    self->moveToDisplay(target);
                }
            },
            Qt::QueuedConnection);
    };

    platform::WindowServer& windowServer = m_deps.backend->services().windowServer;
    const WindowIconReader windowIcons = [&windowServer](std::uint32_t window, std::uint32_t side) {
        return windowServer.windowIcon(window, side);
    };
    m_controller =
        m_deps.makePanel(PanelRequest{m_model, displayID, hostMenu, &m_panelScreens, windowIcons});
    placeStatusItems();
    if (show) {
        m_controller->orderFront();
    }
    vornAppLog().notice("started on display=", displayID, " key=", *m_hostDisplayKey,
                        " show=", boolText(show));
}

void AppDelegate::showSidebar() {
    if (!m_controller) {
        vornAppLog().notice("showSidebar ignored: no sidebar yet (host selection pending)");
        return;
    }
    m_controller->orderFront();
    // Another start is how a user brings the sidebar forward from the keyboard (a key bound to
    // the command): the keyboard goes with it.
    m_controller->takeKeyFocus();
}

void AppDelegate::placeStatusItems() {
    if (!m_controller || !m_menuBar) {
        return;
    }
    StatusItems items;
    for (QAction* item : m_menuBar->items()) {
        items.actions.push_back(item);
    }
    QPointer<MenuBarController> menu(m_menuBar.get());
    items.willShow = [menu] {
        if (menu) {
            menu->menuWillOpen();
        }
    };
    items.onlyRoute = !m_menuBar->isTrayAvailable();
    m_controller->showStatusItems(std::move(items));
}

void AppDelegate::send(const TelemetryEvent& event) {
    if (m_observability) {
        m_observability->sink()->send(event);
    }
}

}  // namespace vorn::app
