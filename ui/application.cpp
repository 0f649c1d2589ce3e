#include "ui/application.h"

#include "core/texts.h"

#include <QMessageBox>
#include <exception>

namespace {
QString& title()
{
    static QString text;
    return text;
}
}  // namespace

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {}

QString TApplication::Title()
{
    return title();
}

void TApplication::SetTitle(const QString& text)
{
    title() = text;
}

bool TApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        ShowErrorBox(QString::fromLocal8Bit(error.what()));
    } catch (...) {
        ShowErrorBox(texts::Extra("UnknownError"));
    }
    return false;
}

void TApplication::ShowErrorBox(const QString& message)
{
    QMessageBox box(QMessageBox::Critical, Title(), message,
                    QMessageBox::Ok);
    box.exec();
}
