#pragma once

#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "CapturingLogHandler.h"
#include "ManualExecutor.h"
#include "RecordingSignalManager.h"
#include "TallyConfiguration.h"
#include "TempDir.h"
#include "VirtualTimeSource.h"

namespace vorn::tally::test {

// A fixture that gives the client a private world: caches and settings under a temporary
// folder, virtual time, a drainable main queue and recording signal managers. Tear-down
// removes the client and joins its threads.
class TallyTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A configuration that logs everything into log.
    std::shared_ptr<TallyConfiguration> makeConfiguration(const std::string& appID = "test-app");
    // Runs main-queue tasks and waits for the utility pool until neither has work left.
    void settle();
    // The recording manager of the installed client.
    std::shared_ptr<RecordingSignalManager> installedManager() const;

    vorn::test::TempDir temp;
    std::shared_ptr<VirtualTimeSource> time;
    std::shared_ptr<vorn::test::ManualExecutor> mainQueue;
    RecordingSignalManagerFactory managers;
    CapturingLogHandler log;
};

}  // namespace vorn::tally::test
