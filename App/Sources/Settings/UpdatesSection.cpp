#include "UpdatesSection.h"

#include <QCheckBox>
#include <QLabel>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "SettingsText.h"

namespace vorn::app {

UpdatesSection::UpdatesSection(UpdatePreferences& preferences, QWidget* parent)
    : QWidget(parent)
    , m_preferences(preferences) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    layout->addWidget(makeSectionHeading(QStringLiteral("Updates"), this));

    m_checks = new QCheckBox(QStringLiteral("Automatically check for updates"), this);
    m_checks->setObjectName(QStringLiteral("vorn.settings.updates.automaticChecks"));
    layout->addWidget(m_checks);
    m_downloads = new QCheckBox(QStringLiteral("Automatically download updates"), this);
    m_downloads->setObjectName(QStringLiteral("vorn.settings.updates.automaticDownloads"));
    layout->addWidget(m_downloads);
    m_help = makeHelpText(QStringLiteral("vorn.settings.updates.help"), this);
    layout->addWidget(m_help);

    connect(m_checks, &QCheckBox::clicked, this, [this](bool on) {
        m_preferences.setAutomaticallyChecksForUpdates(on);
        refresh();
    });
    connect(m_downloads, &QCheckBox::clicked, this, [this](bool on) {
        m_preferences.setAutomaticallyDownloadsUpdates(on);
        refresh();
    });
    m_changes = m_preferences.observePreferences([this] { refresh(); });
    refresh();
}

void UpdatesSection::refresh() {
    const QSignalBlocker checksBlocker(m_checks);
    const QSignalBlocker downloadsBlocker(m_downloads);
    m_checks->setChecked(m_preferences.automaticallyChecksForUpdates());
    m_downloads->setChecked(m_preferences.automaticallyDownloadsUpdates());
    // A build that cannot update itself allows neither: it has no feed to check.
    m_checks->setEnabled(m_preferences.allowsAutomaticUpdates());
    m_downloads->setEnabled(m_preferences.allowsAutomaticUpdates());
    m_help->setText(helpText(m_preferences));
}

QString UpdatesSection::helpText(const UpdatePreferences& preferences) {
    if (preferences.automaticallyDownloadsUpdates()) {
        return QStringLiteral(
            "New versions download in the background and install when you quit Vorn, so your "
            "work isn't interrupted. If Vorn stays open for a long time, it will ask to install "
            "sooner.");
    }
    if (preferences.automaticallyChecksForUpdates()) {
        return QStringLiteral(
            "Vorn checks for new versions and asks you before downloading and installing one.");
    }
    return QStringLiteral(
        "Vorn won't check for new versions on its own. You can still check any time from the "
        "menu bar.");
}

}  // namespace vorn::app
