#include "ModalAlert.h"

#include <deque>

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QPushButton>
#include <QTimer>

namespace vorn::app {
namespace {

struct NextAnswer {
    int button = -1;
    std::function<void(const AlertContent&)> inspect;
};

struct AlertSeams {
    std::deque<NextAnswer> nextAnswers;
    std::function<void()> before;
    std::function<void()> after;
};

AlertSeams& seams() {
    static AlertSeams instance;
    return instance;
}

// Places the accessory between the texts and the buttons, in the text column.
void addAccessory(QMessageBox& box, QWidget& accessory) {
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    auto* buttonBox = box.findChild<QDialogButtonBox*>();
    if (grid == nullptr || buttonBox == nullptr) {
        box.layout()->addWidget(&accessory);
    } else {
        int row = 0;
        int column = 0;
        int rowSpan = 0;
        int columnSpan = 0;
        grid->getItemPosition(grid->indexOf(buttonBox), &row, &column, &rowSpan, &columnSpan);
        grid->removeWidget(buttonBox);
        grid->addWidget(&accessory, row, column + columnSpan - 1, 1, 1);
        grid->addWidget(buttonBox, row + 1, column, rowSpan, columnSpan);
    }
    accessory.show();
    accessory.setFocus(Qt::OtherFocusReason);
    // Showing the dialog gives the focus to its default button; take it back once it is shown,
    // so that typing starts at once.
    QTimer::singleShot(0, &accessory, [&accessory] { accessory.setFocus(Qt::OtherFocusReason); });
}

int showAlert(const AlertContent& alert) {
    QMessageBox box;
    box.setWindowTitle(QStringLiteral("Vorn"));
    box.setObjectName(alert.identifier);
    box.setIcon(alert.icon);
    box.setTextFormat(Qt::PlainText);
    box.setText(alert.message);
    if (!alert.informativeText.isEmpty()) {
        box.setInformativeText(alert.informativeText);
    }
    std::vector<QPushButton*> buttons;
    for (const QString& title : alert.buttons) {
        buttons.push_back(box.addButton(
            title, buttons.empty() ? QMessageBox::AcceptRole : QMessageBox::RejectRole));
    }
    if (!buttons.empty()) {
        box.setDefaultButton(buttons.front());
    }
    if (alert.accessory != nullptr) {
        addAccessory(box, *alert.accessory);
    }
    box.exec();
    if (alert.accessory != nullptr) {
        // Handed back before the box deletes its children.
        alert.accessory->hide();
        alert.accessory->setParent(nullptr);
    }
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        if (box.clickedButton() == buttons[i]) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

}  // namespace

int ModalAlert::run(const AlertContent& alert) {
    auto& s = seams();
    if (s.before) {
        s.before();
    }
    int answer = -1;
    if (!s.nextAnswers.empty()) {
        NextAnswer next = std::move(s.nextAnswers.front());
        s.nextAnswers.pop_front();
        if (next.inspect) {
            next.inspect(alert);
        }
        answer = next.button;
    } else {
        answer = showAlert(alert);
    }
    if (s.after) {
        s.after();
    }
    return answer;
}

void ModalAlert::setNextAnswer(int button) {
    seams().nextAnswers.push_back(NextAnswer{button, {}});
}

void ModalAlert::setNextAnswer(int button, std::function<void(const AlertContent&)> inspect) {
    seams().nextAnswers.push_back(NextAnswer{button, std::move(inspect)});
}

void ModalAlert::clearNextAnswers() {
    seams().nextAnswers.clear();
}

void ModalAlert::setAroundModalRun(std::function<void()> before, std::function<void()> after) {
    seams().before = std::move(before);
    seams().after = std::move(after);
}

}  // namespace vorn::app
