#include "ScreenChooserView.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include "AccessibleActions.h"
#include "DialogText.h"

namespace vorn::app {
namespace {

constexpr int viewWidth = 360;

QString heading() {
    return QStringLiteral("Choose a display for Vorn");
}

QString explanation() {
    return QStringLiteral(
        "The sidebar opens on the display you pick and stays on its current Space.");
}

// A monitor on its stand, drawn here so that it looks the same under every icon theme.
QPixmap displaySymbol(int side, const QColor& ink) {
    QPixmap pixmap(side * 2, side * 2);
    pixmap.setDevicePixelRatio(2);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal unit = side / 18.0;
    painter.setPen(QPen(ink, 1.4 * unit, Qt::SolidLine, Qt::RoundCap));
    painter.drawRoundedRect(QRectF(1.5 * unit, 2.5 * unit, 15 * unit, 10 * unit), 1.5 * unit,
                            1.5 * unit);
    painter.drawLine(QPointF(9 * unit, 12.5 * unit), QPointF(9 * unit, 15 * unit));
    painter.drawLine(QPointF(5.5 * unit, 15.5 * unit), QPointF(12.5 * unit, 15.5 * unit));
    return pixmap;
}

QPushButton* makeRow(const DisplayOption& option, std::function<void(std::uint32_t)> onSelect) {
    const QString name = QString::fromStdString(option.name)
                         + (option.isMain ? QStringLiteral(" (Main)") : QString());
    const QString size = QStringLiteral("%1 \u00D7 %2").arg(option.width).arg(option.height);

    auto* row = new QPushButton;
    row->setObjectName(QStringLiteral("vorn.chooser.display.%1").arg(option.id));
    // Return picks the focused display, as a click does.
    row->setAutoDefault(true);
    row->setAccessibleName(name);
    row->setAccessibleDescription(QStringLiteral("%1x%2").arg(option.width).arg(option.height));

    auto* layout = new QHBoxLayout(row);
    layout->setSpacing(10);
    auto* symbol = new QLabel;
    symbol->setPixmap(displaySymbol(18, row->palette().color(QPalette::ButtonText)));
    layout->addWidget(symbol);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    texts->addWidget(makeDialogLabel(name, 13, true, false));
    texts->addWidget(makeDialogLabel(size, 11, false, true));
    layout->addLayout(texts);
    layout->addStretch();
    for (QLabel* label : row->findChildren<QLabel*>()) {
        label->setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    row->setMinimumHeight(layout->sizeHint().height());

    QObject::connect(row, &QPushButton::clicked, row,
                     [id = option.id, onSelect = std::move(onSelect)] { onSelect(id); });
    return row;
}

}  // namespace

ChooserWindow::ChooserWindow()
    : QWidget(
        nullptr,
        Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint) {
    // The role first: a title already makes the window's interface. Assistive tools read the
    // question as its name; every window of the program is titled "Vorn".
    setAccessibleRole(*this, QAccessible::Dialog);
    setWindowTitle(QStringLiteral("Vorn"));
    setObjectName(QStringLiteral("vorn.chooser.window"));
    setAccessibleName(heading());
    setAccessibleDescription(explanation());
    setLayout(new QVBoxLayout);
    layout()->setContentsMargins(0, 0, 0, 0);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

void ChooserWindow::closeEvent(QCloseEvent* event) {
    event->ignore();
}

QWidget* makeChooserView(const std::vector<DisplayOption>& options,
                         std::function<void(std::uint32_t)> onSelect) {
    auto* view = new QWidget;
    view->setFixedWidth(viewWidth);
    auto* layout = new QVBoxLayout(view);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSpacing(12);
    layout->addWidget(makeDialogLabel(heading(), 15, true, false));
    auto* explaining = makeDialogLabel(explanation(), 12, false, true);
    explaining->setWordWrap(true);
    layout->addWidget(explaining);
    auto* list = new QVBoxLayout;
    list->setSpacing(8);
    for (const DisplayOption& option : options) {
        list->addWidget(makeRow(option, onSelect));
    }
    layout->addLayout(list);
    return view;
}

}  // namespace vorn::app
