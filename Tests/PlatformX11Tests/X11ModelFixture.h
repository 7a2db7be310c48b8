#pragma once

#include <memory>

#include "MacWindowManager.h"
#include "RecordingStore.h"
#include "SidebarModel.h"
#include "X11Fixture.h"

namespace vorn::test {

// The sidebar model over the window layer on the private X server, saving to a recording store.
class X11ModelFixture : public X11Fixture {
protected:
    void startModel() {
        manager = MacWindowManager::create(*context, std::nullopt);
        // The run loop outlives the model; the model only posts to it.
        std::shared_ptr<MainExecutor> executor(std::shared_ptr<void>(), &runLoop);
        model = SidebarModel::make(manager, store, nullptr, nullptr, executor);
        settle();
    }

    // Until the backend has read everything the server sent and the loop has run every task
    // that followed from it: round trips and ready tasks only, no time passes for the poll.
    void settle() {
        for (int pass = 0; pass < 20; ++pass) {
            syncBackend();
            bool ran = false;
            while (runLoop.runUntil(runLoop.now()) != platform::RunResult::timedOut) {
                ran = true;
            }
            if (!ran) {
                return;
            }
        }
        ADD_FAILURE() << "the desktop did not settle";
    }

    std::shared_ptr<RecordingStore> store = std::make_shared<RecordingStore>();
    std::shared_ptr<MacWindowManager> manager;
    std::shared_ptr<SidebarModel> model;
};

}  // namespace vorn::test
