#include "ElidedLabel.h"

#include <algorithm>

#include <QEvent>
#include <QFontMetrics>

namespace vorn::app {

QString singleLine(QString text) {
    for (QChar& character : text) {
        // Also true of U+2028 and U+2029, the line and paragraph separators.
        if (character.isSpace()) {
            character = QLatin1Char(' ');
        }
    }
    return text;
}

ElidedLabel::ElidedLabel(QWidget* parent)
    : QLabel(parent) {
    // Names come from the user and titles from other programs: never read them as markup.
    setTextFormat(Qt::PlainText);
    setWordWrap(false);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

void ElidedLabel::setFullText(const QString& text) {
    // Setting a name tells assistive tools of a change even when it is the same; views set
    // their texts on every refresh.
    if (text == m_fullText) {
        return;
    }
    m_fullText = text;
    m_line = singleLine(text);
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
    const int available = contentsRect().width();
    setText(fontMetrics().elidedText(m_line, Qt::ElideRight, std::max(available, 0)));
}

}  // namespace vorn::app
