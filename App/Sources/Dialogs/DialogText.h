#pragma once

#include <QString>

class QLabel;

namespace vorn::app {

// A line of a dialog at the given point size: medium weight for headings and names, the
// secondary colour for explanations. The text is shown as it stands, never read as markup.
QLabel* makeDialogLabel(const QString& text,
                        int pointSize,
                        bool medium = false,
                        bool secondary = false);

}  // namespace vorn::app
