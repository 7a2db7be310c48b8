#include <map>
#include <string>

#include <QtTest>

#include "AppEnvironment.h"

namespace vorn::app {

class AppEnvironmentTests : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void dataDirectory_data() {
        QTest::addColumn<QString>("dataDir");   // "-": unset
        QTest::addColumn<QString>("dataHome");  // "-": unset
        QTest::addColumn<QString>("expected");
        QTest::newRow("override as given") << "/srv/vorn data"
                                           << "/x"
                                           << "/srv/vorn data";
        QTest::newRow("empty override ignored") << ""
                                                << "-"
                                                << "/home/ann/.local/share/Vorn";
        QTest::newRow("XDG data home") << "-"
                                       << "/data"
                                       << "/data/Vorn";
        QTest::newRow("relative XDG data home ignored") << "-"
                                                        << "rel"
                                                        << "/home/ann/.local/share/Vorn";
    }

    void dataDirectory() {
        QFETCH(QString, dataDir);
        QFETCH(QString, dataHome);
        QFETCH(QString, expected);
        std::map<std::string, std::string> env = {{"HOME", "/home/ann"}};
        if (dataDir != "-") {
            env["VORN_DATA_DIR"] = dataDir.toStdString();
        }
        if (dataHome != "-") {
            env["XDG_DATA_HOME"] = dataHome.toStdString();
        }
        const auto path = AppEnvironment::dataDirectory([&](const char* name) -> const char* {
            const auto it = env.find(name);
            return it == env.end() ? nullptr : it->second.c_str();
        });
        QCOMPARE(QString::fromStdString(path.string()), expected);
    }
};

}  // namespace vorn::app

QTEST_MAIN(vorn::app::AppEnvironmentTests)
#include "AppEnvironmentTests.moc"
