#include "TallyManager.h"

#include <cstdlib>
#include <cstring>
#include <mutex>

#include "Helpers/CryptoHashing.h"
#include "Signals/InertSignalManager.h"
#include "Signals/SignalManager.h"
#include "System/Dispatch.h"
#include "System/TimeSource.h"
#include "Tally.h"

namespace vorn::tally {

struct TallyManager::Storage {
    system::ConcurrentQueue<std::shared_ptr<TallyManager>> manager;
    std::mutex factoryMutex;
    SignalManagerFactory factory;
};

namespace {

std::shared_ptr<SignalManageable> buildSignalManager(
    const SignalManagerFactory& factory, const std::shared_ptr<TallyConfiguration>& configuration) {
    if (factory) {
        if (auto built = factory(configuration)) {
            return built;
        }
    }
    return SignalManager::create(configuration);
}

bool runsInPreview() {
    const char* value = std::getenv("XCODE_RUNNING_FOR_PREVIEWS");
    return value != nullptr && std::strcmp(value, "1") == 0;
}

}  // namespace

TallyManager::TallyManager(std::shared_ptr<TallyConfiguration> configuration,
                           std::shared_ptr<SignalManageable> signalManager)
    : m_configuration(std::move(configuration))
    , m_signalManager(std::move(signalManager)) {}

TallyManager::Storage& TallyManager::storage() {
    // Never destroyed: the installed manager owns threads that must not be joined while the
    // process runs its exit handlers.
    static auto* instance = new Storage;
    return *instance;
}

std::shared_ptr<TallyManager> TallyManager::create(
    std::shared_ptr<TallyConfiguration> configuration) {
    SignalManagerFactory factory;
    {
        std::lock_guard lock(storage().factoryMutex);
        factory = storage().factory;
    }
    auto signalManager = buildSignalManager(factory, configuration);
    std::shared_ptr<TallyManager> manager(
        new TallyManager(std::move(configuration), std::move(signalManager)));
    startSessionAndObserveAppForegrounding(manager);
    return manager;
}

void TallyManager::startSessionAndObserveAppForegrounding(
    const std::shared_ptr<TallyManager>& self) {
    std::weak_ptr<TallyManager> weak = self;
    system::asyncAfter(system::mainQueue(), sessionStartDelay, [weak] {
        // A manager that is not installed starts no session: the renewal would act on whatever
        // manager is installed, and the stand-in must not build sessions of its own.
        const auto manager = weak.lock();
        if (manager && installed() == manager) {
            Tally::generateNewSession();
        }
    });
}

std::shared_ptr<TallyManager> TallyManager::fallback() {
    // One stand-in for the whole process: building a real manager per call would build a
    // signal manager each time, and each would take over the real cache file.
    static auto* instance = new std::shared_ptr<TallyManager>(new TallyManager(
        std::make_shared<TallyConfiguration>(""), std::make_shared<InertSignalManager>()));
    return *instance;
}

std::shared_ptr<TallyManager> TallyManager::installed() {
    return storage().manager.sync([](const auto& manager) { return manager; });
}

std::shared_ptr<TallyManager> TallyManager::shared() {
    if (auto manager = installed()) {
        return manager;
    }
    if (runsInPreview()) {
        return storage().manager.barrierSync([](auto& manager) {
            if (!manager) {
                manager = fallback();
            }
            return manager;
        });
    }
    return fallback();
}

bool TallyManager::isInitialized() {
    return installed() != nullptr;
}

void TallyManager::initialize(std::shared_ptr<TallyConfiguration> configuration) {
    auto fresh = create(std::move(configuration));
    auto previous = storage().manager.barrierSync([&](auto& manager) {
        auto replaced = std::move(manager);
        manager = fresh;
        return replaced;
    });
    if (previous) {
        previous->m_signalManager->handOver(fresh->m_signalManager);
    }
}

void TallyManager::terminate() {
    storage().manager.barrierSync([](auto& manager) { manager.reset(); });
}

void TallyManager::send(const std::string& signalName, const Parameters& parameters) {
    Tally::signal(signalName, parameters);
}

void TallyManager::send(const std::string& signalName,
                        const std::optional<std::string>& clientUser,
                        std::optional<double> floatValue,
                        const Parameters& parameters) {
    Tally::signal(signalName, parameters, floatValue, clientUser);
}

void TallyManager::requestImmediateSync() {
    Tally::requestImmediateSync();
}

void TallyManager::updateDefaultUser(std::optional<std::string> user) {
    Tally::updateDefaultUserID(std::move(user));
}

void TallyManager::generateNewSession() {
    Tally::generateNewSession();
}

void TallyManager::setSignalManagerFactory(SignalManagerFactory factory) {
    std::lock_guard lock(storage().factoryMutex);
    storage().factory = std::move(factory);
}

std::string TallyManager::hashedDefaultUser() const {
    return CryptoHashing::sha256(m_signalManager->defaultUserIdentifier(), m_configuration->salt());
}

Date TallyManager::lastTimeImmediateSyncRequested() const {
    return m_queue.sync([](const Dates& dates) { return dates.lastTimeImmediateSyncRequested; });
}

void TallyManager::setLastTimeImmediateSyncRequested(Date date) {
    m_queue.barrierSync([date](Dates& dates) { dates.lastTimeImmediateSyncRequested = date; });
}

bool TallyManager::acceptImmediateSyncRequest(Date now) {
    const double interval = m_configuration->transmitInterval();
    return m_queue.barrierSync([&](Dates& dates) {
        if (!(now.secondsSince(dates.lastTimeImmediateSyncRequested) > interval)) {
            return false;
        }
        dates.lastTimeImmediateSyncRequested = now;
        return true;
    });
}

void TallyManager::willEnterForeground() {
    const Date now = system::now();
    const Date left =
        m_queue.barrierSync([](Dates& dates) { return dates.lastDateAppEnteredBackground; });
    if (left.adding(backgroundSessionTimeout) < now) {
        Tally::generateNewSession();
    }
}

void TallyManager::didEnterBackground() {
    const Date now = system::now();
    m_queue.barrierSync([now](Dates& dates) { dates.lastDateAppEnteredBackground = now; });
}

}  // namespace vorn::tally
