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

// Draws the label's text in the secondary colour, the palette's placeholder text colour, so that
// it follows light and dark themes.
void makeSecondary(QLabel& label);

}  // namespace vorn::app
