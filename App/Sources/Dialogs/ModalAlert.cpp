#include "ModalAlert.h"

#include <deque>

#include <QPushButton>

namespace vorn::app {
namespace {

struct AlertSeams {
    std::deque<int> nextAnswers;
    std::function<void()> before;
    std::function<void()> after;
};

AlertSeams& seams() {
    static AlertSeams instance;
    return instance;
}

int showAlert(const AlertContent& alert) {
    QMessageBox box;
    box.setWindowTitle(QStringLiteral("Vorn"));
    box.setObjectName(alert.identifier);
    box.setAccessibleName(alert.identifier);
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
    box.exec();
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
        answer = s.nextAnswers.front();
        s.nextAnswers.pop_front();
    } else {
        answer = showAlert(alert);
    }
    if (s.after) {
        s.after();
    }
    return answer;
}

void ModalAlert::setNextAnswer(int button) {
    seams().nextAnswers.push_back(button);
}

void ModalAlert::clearNextAnswers() {
    seams().nextAnswers.clear();
}

void ModalAlert::setAroundModalRun(std::function<void()> before, std::function<void()> after) {
    seams().before = std::move(before);
    seams().after = std::move(after);
}

}  // namespace vorn::app
