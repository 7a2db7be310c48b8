#include "SpaceHeader.h"

#include <QFocusEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPointer>
#include <QToolButton>

#include "ElidedLabel.h"
#include "SidebarStyle.h"
#include "Symbols.h"

namespace vorn::app {

SpaceNameField::SpaceNameField(QWidget* parent)
    : QLineEdit(parent) {}

QSize SpaceNameField::minimumSizeHint() const {
    // The field takes the row's width; a long name scrolls inside it.
    return {0, QLineEdit::minimumSizeHint().height()};
}

void SpaceNameField::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    if (m_armed && event->reason() != Qt::PopupFocusReason) {
        Q_EMIT left();
    }
}

SpaceHeader::SpaceHeader(QWidget* parent)
    : QWidget(parent) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(4, 0, 4, 0);
    row->setSpacing(7);

    m_title = new ElidedLabel(this);
    m_title->setObjectName(QStringLiteral("vorn.header.title"));
    m_title->setFont(style::font(13, QFont::Medium));
    row->addWidget(m_title, 1);

    m_field = new SpaceNameField(this);
    m_field->setObjectName(QStringLiteral("vorn.space.header.nameField"));
    // The placeholder is only a description to assistive tools; the field needs a name.
    m_field->setAccessibleName(QStringLiteral("Space name"));
    m_field->setPlaceholderText(QStringLiteral("Space name"));
    m_field->setFont(style::font(13, QFont::Medium));
    m_field->setFrame(false);
    // No background of its own: the name is edited where it stood.
    QPalette plain = m_field->palette();
    plain.setColor(QPalette::Base, Qt::transparent);
    // The toolkit's placeholder grey falls below readable contrast on the panel.
    plain.setColor(QPalette::PlaceholderText, style::readableText(plain, style::Level::tertiary,
                                                                  plain.color(QPalette::Window)));
    m_field->setPalette(plain);
    m_field->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    m_field->hide();
    row->addWidget(m_field, 1);
    connect(m_field, &QLineEdit::returnPressed, this, &SpaceHeader::submitted);
    connect(m_field, &SpaceNameField::left, this, &SpaceHeader::fieldLeft);

    m_menuButton = new QToolButton(this);
    m_menuButton->setObjectName(QStringLiteral("vorn.space.header.menu"));
    // Named for what it opens: the space's items and the program's own ("Space" alone would be
    // heard as the key).
    m_menuButton->setAccessibleName(QStringLiteral("Vorn Menu"));
    m_menuButton->setAutoRaise(true);
    // Never by a click, so that the window the user works in keeps the keyboard.
    m_menuButton->setFocusPolicy(Qt::TabFocus);
    m_menuButton->installEventFilter(this);
    m_menuButton->setFixedSize(18, 18);
    m_menuButton->setIconSize(QSize(14, 14));
    m_menuButton->setIcon(
        symbolIcon(Symbol::ellipsisCircle, palette().color(QPalette::WindowText)));
    // Kept in the layout while hidden, so the title does not jump when the pointer enters.
    QSizePolicy keep = m_menuButton->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    m_menuButton->setSizePolicy(keep);
    row->addWidget(m_menuButton);
    connect(m_menuButton, &QToolButton::clicked, this, &SpaceHeader::menuRequested);

    setMinimumHeight(22);
    updateVisibility();
}

void SpaceHeader::setTitle(const QString& name) {
    m_title->setFullText(name);
}

QString SpaceHeader::title() const {
    return m_title->fullText();
}

void SpaceHeader::beginEditing(const QString& draft) {
    m_editing = true;
    m_field->setArmed(false);
    m_field->setText(draft);
    m_field->selectAll();
    updateVisibility();
    // A panel still waiting for the keyboard gives it to the field once it comes, rather than
    // to its first row.
    if (!isActiveWindow()) {
        m_field->setFocus(Qt::OtherFocusReason);
    }
    // One turn later: window activations that were already under way (a menu closing) would
    // take the focus off the field again, and that would end the edit at once.
    QPointer<SpaceNameField> field(m_field);
    QMetaObject::invokeMethod(
        this,
        [this, field] {
            if (field && m_editing) {
                field->setFocus(Qt::OtherFocusReason);
                field->setArmed(true);
            }
        },
        Qt::QueuedConnection);
}

void SpaceHeader::endEditing() {
    m_editing = false;
    m_field->setArmed(false);
    // Typing must not reach a hidden field.
    m_field->clearFocus();
    updateVisibility();
}

QString SpaceHeader::draft() const {
    return m_field->text();
}

void SpaceHeader::setMenuAlwaysShown(bool shown) {
    m_menuAlwaysShown = shown;
    updateVisibility();
}

void SpaceHeader::setMenuOpen(bool open) {
    m_menuOpen = open;
    updateVisibility();
}

void SpaceHeader::focusMenuButton(Qt::FocusReason reason) {
    if (m_editing) {
        return;
    }
    // A hidden button would take the focus only once shown.
    m_menuFocused = true;
    updateVisibility();
    m_menuButton->setFocus(reason);
}

bool SpaceHeader::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_menuButton) {
        return QWidget::eventFilter(watched, event);
    }
    // Its own menu taking the keyboard does not count: the focus comes back when it closes.
    if (event->type() == QEvent::FocusOut
        && static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason) {
        m_menuFocused = false;
        updateVisibility();
    }
    // Return opens the menu as Space does, as on the rows.
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && style::isPressKey(*key)
            && !key->isAutoRepeat()) {
            m_menuButton->click();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void SpaceHeader::enterEvent(QEnterEvent*) {
    m_hovered = true;
    updateVisibility();
}

void SpaceHeader::leaveEvent(QEvent*) {
    m_hovered = false;
    updateVisibility();
}

void SpaceHeader::updateVisibility() {
    m_title->setVisible(!m_editing);
    m_field->setVisible(m_editing);
    m_menuButton->setVisible(!m_editing
                             && (m_hovered || m_menuAlwaysShown || m_menuOpen || m_menuFocused));
}

}  // namespace vorn::app
