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

int showAlert(const AlertSpec& spec) {
    QMessageBox box;
    box.setWindowTitle(QStringLiteral("Vorn"));
    box.setObjectName(spec.identifier);
    box.setAccessibleName(spec.identifier);
    box.setIcon(spec.icon);
    box.setTextFormat(Qt::PlainText);
    box.setText(spec.message);
    if (!spec.informativeText.isEmpty()) {
        box.setInformativeText(spec.informativeText);
    }
    std::vector<QPushButton*> buttons;
    for (const QString& title : spec.buttons) {
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

int ModalAlert::run(const AlertSpec& spec) {
    auto& s = seams();
    if (s.before) {
        s.before();
    }
    int answer = -1;
    if (!s.nextAnswers.empty()) {
        answer = s.nextAnswers.front();
        s.nextAnswers.pop_front();
    } else {
        answer = showAlert(spec);
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
