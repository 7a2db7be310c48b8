#include "PermissionBanner.h"

#include <QDesktopServices>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include "SidebarStyle.h"
#include "Symbols.h"

namespace vorn::app {
namespace {

// The banner's background leaves this much room on the left and right.
constexpr int outerInset = 4;

QLabel* text(const QString& value, qreal pixelSize, QFont::Weight weight, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setText(value);
    label->setFont(style::font(pixelSize, weight));
    label->setWordWrap(true);
    return label;
}

QPushButton* button(const QString& title, const QString& identifier, QWidget* parent) {
    auto* button = new QPushButton(title, parent);
    button->setObjectName(identifier);
    button->setFont(style::font(11));
    // Clicking the banner must leave the keyboard focus in the window the user works in; the
    // keyboard reaches the button by Tab.
    button->setFocusPolicy(Qt::TabFocus);
    button->setAutoDefault(true);  // Return presses it, as Space does
    button->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
    return button;
}

}  // namespace

PermissionBanner::PermissionBanner(std::optional<QUrl> settingsAddress, QWidget* parent)
    : QWidget(parent)
    , m_settingsAddress(std::move(settingsAddress)) {
    setObjectName(QStringLiteral("vorn.permission.banner"));
    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(outerInset + 8, 8, outerInset + 8, 8);
    stack->setSpacing(6);

    auto* heading = new QHBoxLayout;
    heading->setSpacing(6);
    auto* symbol = new QLabel(this);
    symbol->setPixmap(
        symbolIcon(Symbol::exclamationTriangle, QColor(0xff, 0x95, 0x00)).pixmap(QSize(14, 14)));
    symbol->setAlignment(Qt::AlignTop);
    heading->addWidget(symbol);
    heading->addWidget(
        text(QStringLiteral("Accessibility permission required"), 12, QFont::Medium, this), 1);
    stack->addLayout(heading);

    auto* explanation = text(QStringLiteral("Vorn needs it to detect, switch, and center windows."),
                             11, QFont::Normal, this);
    QPalette secondary = explanation->palette();
    secondary.setColor(QPalette::WindowText,
                       style::readableText(secondary, style::Level::secondary, shownBackground()));
    explanation->setPalette(secondary);
    stack->addWidget(explanation);

    auto* request =
        button(QStringLiteral("Request access"), QStringLiteral("vorn.permission.request"), this);
    // The prominent one: drawn in the accent colour, its text in the palette's colour for text
    // on the accent where that is readable (Fusion's white on its blue is not), else in black or
    // white, whichever reads better.
    QPalette accent = request->palette();
    const QColor fill = accent.color(QPalette::Highlight);
    QColor ink = accent.color(QPalette::HighlightedText);
    if (style::contrastRatio(ink, fill) < style::minimumTextContrast) {
        ink = style::contrastRatio(Qt::black, fill) >= style::contrastRatio(Qt::white, fill)
                  ? QColor(Qt::black)
                  : QColor(Qt::white);
    }
    accent.setColor(QPalette::Button, fill);
    accent.setColor(QPalette::ButtonText, ink);
    request->setPalette(accent);
    connect(request, &QPushButton::clicked, this, &PermissionBanner::requestAccess);
    stack->addWidget(request);

    if (m_settingsAddress) {
        auto* settings = button(QStringLiteral("System Settings"),
                                QStringLiteral("vorn.permission.openSettings"), this);
        connect(settings, &QPushButton::clicked, this, &PermissionBanner::openSettings);
        stack->addWidget(settings);
    }
}

void PermissionBanner::openSettings() const {
    // A refusal changes nothing: the permission is read again at the model's next refresh.
    if (m_settingsAddress && m_settingsAddress->isValid()) {
        (void)QDesktopServices::openUrl(*m_settingsAddress);
    }
}

QColor PermissionBanner::shownBackground() const {
    return style::composite(style::foreground(palette(), style::Level::quaternary),
                            palette().color(QPalette::Window));
}

void PermissionBanner::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(style::foreground(palette(), style::Level::quaternary));
    painter.drawRoundedRect(QRectF(rect()).adjusted(outerInset, 0, -outerInset, 0), 8, 8);
}

}  // namespace vorn::app
