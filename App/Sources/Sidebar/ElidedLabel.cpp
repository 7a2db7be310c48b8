#include "ElidedLabel.h"

#include <algorithm>

#include <QEvent>
#include <QFontMetrics>

namespace vorn::app {

ElidedLabel::ElidedLabel(QWidget* parent)
    : QLabel(parent) {
    // Names come from the user and titles from other programs: never read them as markup.
    setTextFormat(Qt::PlainText);
    setWordWrap(false);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

void ElidedLabel::setFullText(const QString& text) {
    m_fullText = text;
    setAccessibleName(text);
    elide();
}

void ElidedLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    elide();
}

void ElidedLabel::changeEvent(QEvent* event) {
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        elide();
    }
}

void ElidedLabel::elide() {
    // Line breaks in a pasted name would make a second line; show them as spaces.
    QString line = m_fullText;
    for (QChar& character : line) {
        if (character.category() == QChar::Separator_Line
            || character.category() == QChar::Separator_Paragraph || character.isSpace()) {
            character = QLatin1Char(' ');
        }
    }
    const int available = contentsRect().width();
    setText(fontMetrics().elidedText(line, Qt::ElideRight, std::max(available, 0)));
}

}  // namespace vorn::app
