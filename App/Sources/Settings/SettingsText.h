#pragma once

#include <QString>

class QLabel;
class QWidget;

namespace vorn::app {

// The heading of a section of the settings window.
QLabel* makeSectionHeading(const QString& text, QWidget* parent);
// A help text under a setting: small, secondary, wrapped over as many lines as it needs.
QLabel* makeHelpText(const QString& identifier, QWidget* parent);

}  // namespace vorn::app
