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
    // The application's title: the error box's title, the main window's caption once it
    // is shown. Kept here rather than as Qt's display name, which Linux title bars would
    // append to every window's caption.
    static QString Title();
    static void SetTitle(const QString& title);
};
