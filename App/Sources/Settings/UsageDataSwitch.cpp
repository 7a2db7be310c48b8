#include "UsageDataSwitch.h"

#include <QSignalBlocker>

namespace vorn::app {

UsageDataSwitch::UsageDataSwitch(UsageDataPreference& preference, QWidget* parent)
    : QCheckBox(QStringLiteral("Share anonymous usage data and crash reports"), parent)
    , m_preference(preference) {
    setObjectName(QString::fromLatin1(identifier));
    setAccessibleName(text());
    refresh();
    // Only the user's clicks: a refresh must not write the answer back.
    connect(this, &QCheckBox::clicked, this,
            [this](bool checked) { m_preference.setEnabled(checked); });
}

void UsageDataSwitch::showEvent(QShowEvent* event) {
    refresh();
    QCheckBox::showEvent(event);
}

void UsageDataSwitch::refresh() {
    const QSignalBlocker blocker(this);
    setChecked(m_preference.isEnabled());
}

}  // namespace vorn::app
