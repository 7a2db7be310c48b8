#pragma once

#include <QLabel>
#include <QString>

namespace vorn::app {

// The text on one line: every white space character, line and paragraph separators included,
// becomes a plain space, so that a pasted name cannot make a second line.
QString singleLine(QString text);

// One line of plain text cut at the end with an ellipsis to the width it is given. It never asks
// for more width than its layout grants, so a long name cannot widen the panel. The accessible
// name is the whole text.
class ElidedLabel final : public QLabel {
public:
    explicit ElidedLabel(QWidget* parent = nullptr);

    void setFullText(const QString& text);
    const QString& fullText() const { return m_fullText; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void elide();

    QString m_fullText;
    // The full text on one line, as it is shown before cutting.
    QString m_line;
};

}  // namespace vorn::app
