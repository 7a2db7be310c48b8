#pragma once

#include <QWidget>

#include "Observation.h"
#include "SoftwareUpdater.h"

class QCheckBox;
class QLabel;

namespace vorn::app {

// "Updates": the updater's two automatic-update preferences and a help text for what they
// mean together. The switches show the updater's values, never the click: after a switch the
// section reads the values back, and again whenever the updater says they changed.
class UpdatesSection final : public QWidget {
    Q_OBJECT

public:
    // `preferences` must outlive the section.
    explicit UpdatesSection(UpdatePreferences& preferences, QWidget* parent = nullptr);

    // Reads the preferences again.
    void refresh();

    // The help text for the preferences.
    static QString helpText(const UpdatePreferences& preferences);

private:
    UpdatePreferences& m_preferences;
    QCheckBox* m_checks = nullptr;
    QCheckBox* m_downloads = nullptr;
    QLabel* m_help = nullptr;
    Subscription m_changes;
};

}  // namespace vorn::app
