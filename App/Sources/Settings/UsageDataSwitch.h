#pragma once

#include <QCheckBox>

#include "UsageDataPreference.h"

namespace vorn::app {

// The settings window's switch "Share anonymous usage data and crash reports": shows the stored
// answer whenever it is shown, and applies a change by the user at once.
class UsageDataSwitch : public QCheckBox {
    Q_OBJECT

public:
    static constexpr char identifier[] = "vorn.settings.usageData";

    // The preference must outlive the switch.
    explicit UsageDataSwitch(UsageDataPreference& preference, QWidget* parent = nullptr);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void refresh();

    UsageDataPreference& m_preference;
};

}  // namespace vorn::app
