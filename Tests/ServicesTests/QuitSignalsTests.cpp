#include <csignal>

#include <gtest/gtest.h>

#include "QuitSignals.h"

#include <poll.h>

namespace vorn {
namespace {

TEST(QuitSignalsTests, SignalsBecomeReadableBytesInsteadOfAnEnd) {
    const auto fd = QuitSignals::install();
    ASSERT_TRUE(fd);
    EXPECT_EQ(QuitSignals::install(), fd);
    EXPECT_TRUE(QuitSignals::takePending().empty());

    ::raise(SIGTERM);
    ::raise(SIGHUP);
    ::raise(SIGINT);
    pollfd readable{*fd, POLLIN, 0};
    ASSERT_EQ(::poll(&readable, 1, 5000), 1);
    EXPECT_EQ(QuitSignals::takePending(), (std::vector<int>{SIGTERM, SIGHUP, SIGINT}));
    EXPECT_TRUE(QuitSignals::takePending().empty());
}

}  // namespace
}  // namespace vorn
