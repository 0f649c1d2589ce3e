#pragma once
// Answers the message boxes that windows show during a test: while it lives it looks for a
// modal message box every 20 ms, records its title and text, and presses the first button
// of `answers` that the box has (a box with none of them is accepted).

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QStringList>
#include <QTimer>
#include <vector>

class MessageBoxAnswerer {
public:
    explicit MessageBoxAnswerer(std::vector<QMessageBox::StandardButton> preferred = {QMessageBox::Ok})
        : answers(std::move(preferred))
    {
        QObject::connect(&timer_, &QTimer::timeout, [this] { answer(); });
        timer_.start(20);
    }

    std::vector<QMessageBox::StandardButton> answers;  // in order of preference
    QStringList titles;
    QStringList texts;

private:
    void answer()
    {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        titles << box->windowTitle();
        texts << box->text();
        for (QMessageBox::StandardButton b : answers) {
            if (QAbstractButton* button = box->button(b)) {
                button->click();
                return;
            }
        }
        box->accept();
    }

    QTimer timer_;
};
