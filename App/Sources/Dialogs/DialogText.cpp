#include "DialogText.h"

#include <QLabel>

namespace vorn::app {

QLabel* makeDialogLabel(const QString& text, int pointSize, bool medium, bool secondary) {
    auto* label = new QLabel(text);
    // Titles and names come from other programs: never read them as markup.
    label->setTextFormat(Qt::PlainText);
    QFont font = label->font();
    font.setPointSize(pointSize);
    if (medium) {
        font.setWeight(QFont::Medium);
    }
    label->setFont(font);
    if (secondary) {
        makeSecondary(*label);
    }
    return label;
}

void makeSecondary(QLabel& label) {
    QPalette palette = label.palette();
    palette.setColor(QPalette::WindowText, palette.color(QPalette::PlaceholderText));
    label.setPalette(palette);
}

}  // namespace vorn::app
