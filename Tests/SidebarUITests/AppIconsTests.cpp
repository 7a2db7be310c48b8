#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

#include "AppIcons.h"

using vorn::app::AppIcons;

namespace {

QColor centreColour(const QIcon& icon) {
    return icon.pixmap(16, 16).toImage().pixelColor(8, 8);
}

}  // namespace

class AppIconsTests : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(m_root.isValid());
        const QString home = m_root.filePath("home");
        const QString system = m_root.filePath("system");
        for (const QString& dir :
             {home + "/applications", system + "/applications/kde4", system + "/pixmaps"}) {
            QVERIFY(QDir().mkpath(dir));
        }
        image(Qt::red, m_root.filePath("red.png"));
        image(Qt::green, m_root.filePath("green.png"));
        image(Qt::blue, m_root.filePath("blue.png"));
        image(Qt::yellow, system + "/pixmaps/vorn-test-tool_32x32.png");
        image(Qt::magenta, system + "/pixmaps/vorn-test-tool_48x48.png");
        image(Qt::cyan, system + "/pixmaps/vorn[test_16x16.png");
        entry(system + "/applications/org.example.Editor.desktop",
              "Icon=" + m_root.filePath("red.png"));
        // The user's own entry hides the system's.
        entry(home + "/applications/org.example.Editor.desktop",
              "Icon=" + m_root.filePath("green.png"));
        entry(system + "/applications/kde4/viewer.desktop", "Icon=" + m_root.filePath("blue.png"));
        entry(system + "/applications/tool.desktop", "StartupWMClass=ToolWin\nIcon=vorn-test-tool");
        entry(system + "/applications/gone.desktop",
              "Hidden=true\nIcon=" + m_root.filePath("red.png"));
        qputenv("XDG_DATA_HOME", home.toLocal8Bit());
        qputenv("XDG_DATA_DIRS", system.toLocal8Bit());
    }

    void findsTheIcon_data() {
        QTest::addColumn<QString>("bundleId");
        QTest::addColumn<QColor>("expected");  // invalid: the generic icon
        QTest::newRow("desktop id") << "org.example.Editor" << QColor(Qt::green);
        QTest::newRow("id in another case") << "ORG.EXAMPLE.EDITOR" << QColor(Qt::green);
        QTest::newRow("window class, last part of the id") << "editor" << QColor(Qt::green);
        QTest::newRow("entry in a subdirectory") << "kde4-viewer" << QColor(Qt::blue);
        QTest::newRow("StartupWMClass, largest pixmap") << "toolwin" << QColor(Qt::magenta);
        QTest::newRow("hidden entry") << "gone" << QColor();
        QTest::newRow("unknown") << "org.example.Missing" << QColor();
        QTest::newRow("process without identity") << "pid:42" << QColor();
        QTest::newRow("path-like class") << "../../red" << QColor();
        // Classes are any text a client writes: never read as a pattern.
        QTest::newRow("class with a bracket") << "vorn[test" << QColor(Qt::cyan);
        QTest::newRow("class with a wildcard") << "vorn-test-*" << QColor();
    }

    void findsTheIcon() {
        QFETCH(QString, bundleId);
        QFETCH(QColor, expected);
        const QIcon icon = AppIcons::icon(bundleId.toStdString());
        QVERIFY(!icon.isNull());
        const QColor colour = centreColour(icon);
        QCOMPARE(colour, expected.isValid() ? expected : centreColour(AppIcons::generic()));
    }

    // An application installed while the program runs: its entry is read once it is there.
    void findsEntriesAddedLater() {
        const QColor generic = centreColour(AppIcons::generic());
        QCOMPARE(centreColour(AppIcons::icon("added-viewer")), generic);
        const QString added = m_root.filePath("system/applications/added");
        QVERIFY(QDir().mkpath(added));
        entry(added + "/viewer.desktop", "Icon=" + m_root.filePath("red.png"));
        QCOMPARE(centreColour(AppIcons::icon("added-viewer")), QColor(Qt::red));
    }

private:
    static void image(Qt::GlobalColor colour, const QString& path) {
        QImage image(32, 32, QImage::Format_ARGB32);
        image.fill(colour);
        QVERIFY(image.save(path));
    }
    static void entry(const QString& path, const QString& keys) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(("[Desktop Entry]\nType=Application\nName=Test\n" + keys + "\n").toUtf8());
    }

    QTemporaryDir m_root;
};

QTEST_MAIN(AppIconsTests)
#include "AppIconsTests.moc"
