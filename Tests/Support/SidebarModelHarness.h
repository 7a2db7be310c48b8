#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "CapturingLogSink.h"
#include "ManualExecutor.h"
#include "RecordingStore.h"
#include "ScriptedWindowManager.h"
#include "SidebarModel.h"

namespace vorn::test {

// A sidebar model over a scripted window manager, an in-memory store, a manual executor, a
// fixed clock and a presenter that keeps every request it is shown.
struct SidebarModelHarness {
    struct Presented {
        RebindRequest request;
        RebindCompletion completion;
    };

    CapturingLogSink logs;
    std::shared_ptr<ScriptedWindowManager> wm = std::make_shared<ScriptedWindowManager>();
    std::shared_ptr<RecordingStore> store = std::make_shared<RecordingStore>();
    std::shared_ptr<RecordingTelemetrySink> telemetry = std::make_shared<RecordingTelemetrySink>();
    std::shared_ptr<ManualExecutor> executor = std::make_shared<ManualExecutor>();
    Date now = Date(700000000);
    bool withPresenter = true;
    std::vector<Presented> presented;
    // Answers each request during the presenter call when set.
    std::optional<RebindChoice> answerAtOnce;
    std::shared_ptr<SidebarModel> model;

    // Makes the model; logs, calls and saves made so far are forgotten when `forget` is set.
    SidebarModel& start(bool forget = false);
    void forgetHistory();

    // Stored state helpers. The session token defaults to the manager's current one.
    void storeSpaces(std::vector<Space> spaces,
                     std::optional<Uuid> active = std::nullopt,
                     std::optional<std::string> token = "asid:100");

    // The model's lines above debug level.
    std::vector<std::string> modelLog() const;
    // The model's lines of any level that start with the prefix.
    std::vector<std::string> modelLog(const std::string& prefix) const;
    std::size_t listCalls() const;
    const Space& active() const { return *model->activeSpace(); }
    // The active space's tab with this title.
    const SpaceTab& tabTitled(const std::string& title) const;
};

Space makeSpace(const std::string& name, std::int64_t order, std::vector<SpaceTab> tabs = {});
SpaceTab makeTab(const std::string& bundleId,
                 const std::string& title,
                 std::int64_t order = 0,
                 std::optional<std::uint32_t> bound = std::nullopt,
                 std::optional<std::string> docPath = std::nullopt,
                 std::optional<Date> claimExpiresAt = std::nullopt);

}  // namespace vorn::test
