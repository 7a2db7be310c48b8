#include "SettingsText.h"

#include <QLabel>

#include "DialogText.h"

namespace vorn::app {

QLabel* makeSectionHeading(const QString& text, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    QFont font = label->font();
    font.setWeight(QFont::DemiBold);
    label->setFont(font);
    return label;
}

QLabel* makeHelpText(const QString& identifier, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(identifier);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * 0.85);
    label->setFont(font);
    makeSecondary(*label);
    return label;
}

}  // namespace vorn::app
