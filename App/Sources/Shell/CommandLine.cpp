#include "CommandLine.h"

#include <cstdio>

#include <QCommandLineParser>
#include <QStringList>

#include "ReleaseInfo.h"

namespace vorn::app {
namespace {

void print(std::FILE* stream, const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
}

QString versionText() {
    const ReleaseInfo release = ReleaseInfo::current();
    return QStringLiteral("Vorn %1 (build %2)\n")
        .arg(QString::fromStdString(release.version()), QString::fromStdString(release.build()));
}

}  // namespace

std::optional<int> answerCommandLine(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    if (arguments.size() <= 1) {
        return std::nullopt;
    }

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Keeps a sidebar on one display that lists your windows as tabs, grouped "
                       "into spaces.\nStarted without options, Vorn runs on the current X11 "
                       "display; started again, it shows the running Vorn's sidebar and gives it "
                       "the keyboard."));
    // Not the parser's own help option, which would also offer Qt's options that are refused.
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Displays this help."));
    parser.addOption(help);
    const QCommandLineOption version = parser.addVersionOption();

    if (!parser.parse(arguments)) {
        print(stderr, QStringLiteral("vorn: %1\nTry 'vorn --help'.\n").arg(parser.errorText()));
        return 2;
    }
    if (!parser.positionalArguments().isEmpty()) {
        print(stderr, QStringLiteral("vorn: unexpected argument '%1'\nTry 'vorn --help'.\n")
                          .arg(parser.positionalArguments().constFirst()));
        return 2;
    }
    if (parser.isSet(help)) {
        // Without an application object the parser cannot name the program itself.
        QString text = parser.helpText();
        text.replace(QStringLiteral("<executable_name>"), QStringLiteral("vorn"));
        print(stdout, text);
        return 0;
    }
    if (parser.isSet(version)) {
        print(stdout, versionText());
        return 0;
    }
    return std::nullopt;
}

}  // namespace vorn::app
