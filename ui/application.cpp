#include "ui/application.h"

#include <QMessageBox>
#include <exception>

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        ShowErrorBox(QString::fromLocal8Bit(error.what()));
    } catch (...) {
        ShowErrorBox(QStringLiteral("Unknown error"));
    }
    return false;
}

void TApplication::ShowErrorBox(const QString& message)
{
    QMessageBox box(QMessageBox::Critical, QApplication::applicationDisplayName(), message,
                    QMessageBox::Ok);
    box.exec();
}
