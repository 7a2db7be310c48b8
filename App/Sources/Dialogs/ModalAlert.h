#pragma once

#include <functional>

#include <QMessageBox>
#include <QString>
#include <QStringList>

class QWidget;

namespace vorn::app {

struct AlertContent {
    QString message;
    QString informativeText;  // none when empty
    QMessageBox::Icon icon = QMessageBox::Information;
    QStringList buttons;  // the first is the default
    QString identifier;   // the window's object name and accessible name
    // Shown below the texts and focused when the alert opens; it stays the caller's, who
    // reads it after run() returns. None when null.
    QWidget* accessory = nullptr;
};

// The program's modal alerts. Tests answer them through setNextAnswer() instead of showing
// them.
class ModalAlert {
public:
    ModalAlert() = delete;

    // Activates the application and runs the alert; the index of the button that ended it, or
    // -1 when it was closed otherwise.
    static int run(const AlertContent& alert);

    // The next run() answers with the button index without showing anything; answers queue up.
    static void setNextAnswer(int button);
    // The same, after handing the alert to the test, which may read it or fill its accessory.
    static void setNextAnswer(int button, std::function<void(const AlertContent&)> inspect);
    static void clearNextAnswers();
    // Run around every modal run, shown or answered (crash reporting pauses its hang tracking);
    // safe to leave unset.
    static void setAroundModalRun(std::function<void()> before, std::function<void()> after);
};

}  // namespace vorn::app
