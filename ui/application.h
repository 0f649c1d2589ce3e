#pragma once
// The application object: catches an exception that leaves any event handler and shows
// it in the standard error box (the message, OK, the application's title); the program
// then goes on.

#include <QApplication>

class TApplication : public QApplication {
public:
    TApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;

    // Shows the standard error box with a message.
    static void ShowErrorBox(const QString& message);
};
