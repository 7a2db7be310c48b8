#include "SidebarModelHarness.h"

#include <algorithm>

#include <gtest/gtest.h>

namespace vorn::test {

SidebarModel& SidebarModelHarness::start(bool forget) {
    SidebarModel::RebindPresenter presenter;
    if (withPresenter) {
        presenter = [this](RebindRequest request, RebindCompletion completion) {
            presented.push_back({request, completion});
            if (answerAtOnce) {
                completion(*answerAtOnce);
            }
        };
    }
    model = SidebarModel::make(wm, store, presenter, telemetry, executor, [this] { return now; });
    if (forget) {
        forgetHistory();
    }
    return *model;
}

void SidebarModelHarness::forgetHistory() {
    logs.clear();
    wm->calls.clear();
    wm->setFrames.clear();
    wm->activations.clear();
    store->saves.clear();
    telemetry->events.clear();
}

void SidebarModelHarness::storeSpaces(std::vector<Space> spaces,
                                      std::optional<Uuid> active,
                                      std::optional<std::string> token) {
    store->stored.spaces = std::move(spaces);
    store->stored.activeSpaceId = active;
    store->stored.sessionToken = std::move(token);
}

std::vector<std::string> SidebarModelHarness::modelLog() const {
    std::vector<std::string> out;
    for (auto& line : logs.lines()) {
        if (line.category == "model" && line.level != LogLevel::debug) {
            out.push_back(line.message);
        }
    }
    return out;
}

std::vector<std::string> SidebarModelHarness::modelLog(const std::string& prefix) const {
    std::vector<std::string> out;
    for (auto& message : logs.messages("model")) {
        if (message.starts_with(prefix)) {
            out.push_back(message);
        }
    }
    return out;
}

std::size_t SidebarModelHarness::listCalls() const {
    return static_cast<std::size_t>(std::count(wm->calls.begin(), wm->calls.end(), "listWindows"));
}

const SpaceTab& SidebarModelHarness::tabTitled(const std::string& title) const {
    const auto& tabs = active().tabs;
    const auto it = std::find_if(tabs.begin(), tabs.end(),
                                 [&](const SpaceTab& tab) { return tab.lastTitle == title; });
    if (it == tabs.end()) {
        static const SpaceTab missing{};
        ADD_FAILURE() << "no tab titled " << title;
        return missing;
    }
    return *it;
}

Space makeSpace(const std::string& name, std::int64_t order, std::vector<SpaceTab> tabs) {
    return Space{Uuid::random(), name, order, std::move(tabs), false};
}

SpaceTab makeTab(const std::string& bundleId,
                 const std::string& title,
                 std::int64_t order,
                 std::optional<std::uint32_t> bound,
                 std::optional<std::string> docPath,
                 std::optional<Date> claimExpiresAt) {
    SpaceTab tab;
    tab.id = Uuid::random();
    tab.app = AppRef{bundleId, bundleId};
    tab.lastTitle = title;
    tab.order = order;
    tab.docPath = std::move(docPath);
    if (bound) {
        tab.boundWindowID = WindowID(*bound);
    }
    tab.claimExpiresAt = claimExpiresAt;
    return tab;
}

}  // namespace vorn::test
