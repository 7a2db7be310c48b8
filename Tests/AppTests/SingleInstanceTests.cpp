#include <atomic>
#include <future>

#include <QtTest>

#include "CapturingLogSink.h"
#include "SingleInstance.h"
#include "TempDir.h"

namespace vorn::app {

class SingleInstanceTests : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void aSecondStartAsksTheFirstToShowItsSidebar() {
        test::TempDir dir;
        // Longer than a socket address can hold: reached through the directory's descriptor.
        const auto data = dir / std::string(120, 'd');
        SingleInstance first(data);
        QCOMPARE(first.claim(), SingleInstance::Role::first);
        // A socket file left by an instance that was killed.
        test::writeText(data / SingleInstance::socketName, "");
        int shown = 0;
        QVERIFY(first.listen([&] { ++shown; }));

        test::CapturingLogSink log;
        SingleInstance second(data);
        QCOMPARE(second.claim(), SingleInstance::Role::second);
        // The answer needs this thread's event loop, so the asking start runs beside it.
        auto asked = std::async(std::launch::async, [&] { return second.askToShowSidebar(); });
        QTRY_COMPARE(shown, 1);
        QTRY_VERIFY(asked.wait_for(std::chrono::seconds(0)) == std::future_status::ready);
        QVERIFY(asked.get());
        QCOMPARE(log.count("app", "already running on this data directory, showed its sidebar"),
                 std::size_t(1));
    }

    void aSecondStartThatGetsNoAnswerStillGoesWithOneLine() {
        test::TempDir dir;
        SingleInstance first(dir.path());
        QCOMPARE(first.claim(), SingleInstance::Role::first);
        SingleInstance second(dir.path());
        QCOMPARE(second.claim(), SingleInstance::Role::second);
        test::CapturingLogSink log;
        QVERIFY(!second.askToShowSidebar(std::chrono::milliseconds(200)));
        QCOMPARE(log.messages("app").size(), std::size_t(1));
        QCOMPARE(log.count("app", "already running on this data directory, it did not answer"),
                 std::size_t(1));
    }

    void aDirectoryThatCannotBeLockedLeavesTheProgramUnguarded() {
        test::TempDir dir;
        test::writeText(dir / "file", "");
        test::CapturingLogSink log;
        SingleInstance instance(dir / "file" / "data");
        QCOMPARE(instance.claim(), SingleInstance::Role::unguarded);
        QCOMPARE(log.count("app", "instance lock unavailable"), std::size_t(1));
    }
};

}  // namespace vorn::app

QTEST_MAIN(vorn::app::SingleInstanceTests)
#include "SingleInstanceTests.moc"
