#include <algorithm>
#include <string>
#include <vector>

#include <QActionGroup>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QToolButton>

#include "ElidedLabel.h"
#include "MoveTargets.h"
#include "PermissionBanner.h"
#include "SidebarView.h"
#include "SpaceBar.h"
#include "SpaceHeader.h"

namespace vorn::app {
namespace {

// Longest text of a menu item or dialog title made from a name, in pixels.
constexpr int nameWidth = 280;

QString text(const std::string& value) {
    return QString::fromStdString(value);
}

// A name as a menu item's text: one line, cut to a sensible width, and with "&" shown as
// itself rather than taken as a mnemonic.
QString menuText(const QString& name, const QFontMetrics& metrics) {
    return metrics.elidedText(singleLine(name), Qt::ElideRight, nameWidth)
        .replace('&', QStringLiteral("&&"));
}

// Makes the items one choice of which the current one is checked: a check mark drawn as an icon
// says nothing to a screen reader, a checked item does.
QActionGroup* makeChoices(QMenu& menu) {
    auto* group = new QActionGroup(&menu);
    group->setExclusive(true);
    return group;
}

void addChoice(QActionGroup& group, QAction& item, bool current) {
    item.setCheckable(true);
    item.setChecked(current);
    group.addAction(&item);
}

}  // namespace

void SidebarView::buildControls() {
    m_header = new SpaceHeader(this);
    connect(m_header, &SpaceHeader::menuRequested, this, &SidebarView::openHeaderMenu);
    connect(m_header, &SpaceHeader::submitted, this, &SidebarView::commitSpaceRename);
    connect(m_header, &SpaceHeader::fieldLeft, this, &SidebarView::commitSpaceRename);

    // This desktop has no settings page for the permission, so there is no button to open one.
    m_banner = new PermissionBanner(std::nullopt, this);
    connect(m_banner, &PermissionBanner::requestAccess, this,
            [this] { perform([](SidebarModel& model) { model.requestPermission(); }); });

    m_spaceBar = new SpaceBar(this);
    connect(m_spaceBar, &SpaceBar::switcherRequested, this, &SidebarView::openSwitcher);
    connect(m_spaceBar, &SpaceBar::addRequested, this, &SidebarView::addSpace);
}

void SidebarView::updateControls() {
    const Space* space = m_model->activeSpace();
    m_header->setTitle(space != nullptr ? text(space->name) : QString());
    m_banner->setVisible(!m_model->hasPermission());
}

bool SidebarView::isEditingSpaceName() const {
    return m_header->isEditing();
}

void SidebarView::setStatusItems(StatusItems items) {
    m_statusItems = std::move(items);
    m_header->setMenuAlwaysShown(m_statusItems.onlyRoute && !m_statusItems.actions.isEmpty());
}

void SidebarView::beginSpaceRename() {
    if (!m_model) {
        return;
    }
    // The panel does not take the keyboard by itself; the field needs it.
    if (m_requestKeyFocus) {
        m_requestKeyFocus();
    }
    const Space* space = m_model->activeSpace();
    m_header->beginEditing(space != nullptr ? text(space->name) : QString());
    m_spaceBar->setEditing(true);
}

void SidebarView::commitSpaceRename() {
    if (!m_header->isEditing()) {
        return;
    }
    const std::string draft = m_header->draft().toStdString();
    // Closed first: closing moves the focus off the field, and that focus loss must find the
    // edit already over.
    m_header->endEditing();
    m_spaceBar->setEditing(false);
    if (m_model) {
        m_model->renameSpace(m_model->activeSpaceId(), draft);
    }
    Q_EMIT keyFocusReleased();
}

void SidebarView::openHeaderMenu() {
    if (!m_model || m_header->isEditing()) {
        return;
    }
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    fillHeaderMenu(*menu);
    m_header->setMenuOpen(true);
    QPointer<SpaceHeader> header(m_header);
    connect(menu, &QMenu::aboutToHide, this, [header] {
        if (header) {
            header->setMenuOpen(false);
        }
    });
    const QToolButton& button = m_header->menuButton();
    // Opened from the keyboard: its first item is chosen, so that Return takes it.
    const bool fromKeyboard = button.hasFocus();
    menu->popup(button.mapToGlobal(QPoint(0, button.height())));
    if (fromKeyboard) {
        menu->setActiveAction(menu->actions().value(0));
    }
}

void SidebarView::fillHeaderMenu(QMenu& menu) {
    // Chosen items act once the menu has closed, in a turn of their own.
    QAction* rename = menu.addAction(QStringLiteral("Rename"));
    rename->setObjectName(QStringLiteral("vorn.space.header.menu.rename"));
    connect(rename, &QAction::triggered, this, [this] {
        QMetaObject::invokeMethod(this, &SidebarView::beginSpaceRename, Qt::QueuedConnection);
    });

    if (m_hostMenu && m_hostMenu->displays) {
        const std::vector<MoveTarget> targets =
            MoveTargets::targets(m_hostMenu->displays(), m_hostMenu->currentHostID);
        if (!targets.empty()) {
            QMenu* move = menu.addMenu(QStringLiteral("Move to Display"));
            move->menuAction()->setObjectName(
                QStringLiteral("vorn.space.header.menu.moveToDisplay"));
            QActionGroup* displays = makeChoices(*move);
            for (const MoveTarget& target : targets) {
                QAction* item = move->addAction(menuText(text(target.name), move->fontMetrics()));
                item->setObjectName(
                    QStringLiteral("vorn.space.header.menu.move.%1").arg(target.id));
                addChoice(*displays, *item, target.isCurrent);
                if (target.isCurrent) {
                    item->setEnabled(false);
                    continue;
                }
                const auto moveTo = m_hostMenu->move;
                connect(item, &QAction::triggered, this, [moveTo, id = target.id] {
                    if (moveTo) {
                        moveTo(id);
                    }
                });
            }
        }
    }

    if (m_model->spaces().size() >= 2) {
        menu.addSeparator();
        QAction* remove = menu.addAction(QStringLiteral("Delete"));
        remove->setObjectName(QStringLiteral("vorn.space.header.menu.delete"));
        connect(remove, &QAction::triggered, this, [this] {
            QMetaObject::invokeMethod(this, &SidebarView::confirmDeleteSpace, Qt::QueuedConnection);
        });
    }

    addStatusItems(menu);
}

void SidebarView::addStatusItems(QMenu& menu) {
    if (m_statusItems.actions.isEmpty()) {
        return;
    }
    if (m_statusItems.willShow) {
        m_statusItems.willShow();
    }
    menu.addSeparator();
    for (const QPointer<QAction>& item : m_statusItems.actions) {
        if (!item) {
            continue;
        }
        if (item->isSeparator()) {
            menu.addSeparator();
            continue;
        }
        // Copies, not the items themselves: an item keeps the accessibility interface made for
        // the first menu that showed it, and that dies with the menu, so a screen reader would
        // not hear the items the next time.
        QAction* copy = menu.addAction(item->text());
        copy->setObjectName(item->objectName());
        copy->setShortcut(item->shortcut());
        copy->setEnabled(item->isEnabled());
        connect(copy, &QAction::triggered, item.data(), &QAction::trigger);
    }
}

void SidebarView::confirmDeleteSpace() {
    if (!m_model || m_deleteConfirmation) {
        return;
    }
    const Space* space = m_model->activeSpace();
    const QString name = space != nullptr ? text(space->name) : QString();
    // The space the title names is the one deleted, whatever happens meanwhile.
    const Uuid id = m_model->activeSpaceId();

    auto* dialog = new QMessageBox(this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setObjectName(QStringLiteral("vorn.space.deleteDialog"));
    dialog->setWindowTitle(QStringLiteral("Vorn"));
    dialog->setIcon(QMessageBox::Warning);
    dialog->setTextFormat(Qt::PlainText);
    dialog->setText(QStringLiteral("Delete \u201C%1\u201D?")
                        .arg(dialog->fontMetrics().elidedText(name, Qt::ElideRight, nameWidth)));
    dialog->setInformativeText(QStringLiteral(
        "Its Pinned and Claimed tabs will be removed. Open windows are not affected."));
    QPushButton* confirm =
        dialog->addButton(QStringLiteral("Delete"), QMessageBox::DestructiveRole);
    confirm->setObjectName(QStringLiteral("vorn.space.deleteConfirm"));
    QPushButton* cancel = dialog->addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
    cancel->setObjectName(QStringLiteral("vorn.space.deleteCancel"));
    dialog->setDefaultButton(cancel);
    dialog->setEscapeButton(cancel);
    connect(dialog, &QMessageBox::buttonClicked, this, [this, confirm, id](QAbstractButton* b) {
        if (b == confirm) {
            perform([id](SidebarModel& model) { (void)model.deleteSpace(id); });
        }
    });
    m_deleteConfirmation = dialog;
    dialog->open();
}

void SidebarView::openSwitcher() {
    if (!m_model || m_header->isEditing()) {
        return;
    }
    std::vector<const Space*> spaces;
    for (const Space& space : m_model->spaces()) {
        spaces.push_back(&space);
    }
    std::stable_sort(spaces.begin(), spaces.end(),
                     [](const Space* a, const Space* b) { return a->order < b->order; });

    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->setObjectName(QStringLiteral("vorn.space.switcher.menu"));
    const Uuid active = m_model->activeSpaceId();
    QActionGroup* choices = makeChoices(*menu);
    for (const Space* space : spaces) {
        QAction* item = menu->addAction(menuText(text(space->name), menu->fontMetrics()));
        item->setObjectName(QStringLiteral("vorn.space.switcher.item.") + text(space->id.string()));
        addChoice(*choices, *item, space->id == active);
        connect(item, &QAction::triggered, this, [this, id = space->id] {
            perform([id](SidebarModel& model) { model.switchSpace(id); });
        });
    }
    // Above the button: the bar sits at the bottom of the display.
    const QAbstractButton& button = m_spaceBar->switcher();
    const bool fromKeyboard = button.hasFocus();
    menu->popup(button.mapToGlobal(QPoint(0, -menu->sizeHint().height())));
    if (fromKeyboard) {
        menu->setActiveAction(menu->actions().value(0));
    }
}

void SidebarView::addSpace() {
    if (m_header->isEditing()) {
        return;
    }
    QPointer<SidebarView> self(this);
    perform([self](SidebarModel& model) {
        (void)model.createSpace();
        if (self) {
            self->beginSpaceRename();
        }
    });
}

}  // namespace vorn::app
