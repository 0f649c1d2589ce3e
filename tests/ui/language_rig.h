#pragma once
// The windows created at start-up (the program's own ProgramWindows) for the language
// file tests, and every text a person can see in them.

#include "reports/catalogue.h"
#include "ui/comm_dialog.h"
#include "ui/main_window.h"
#include "ui/progress_form.h"
#include "ui/report_form.h"
#include "ui/startup.h"
#include "ui/upload_report_dialog.h"

#include <QAbstractButton>
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QSet>
#include <map>

// The program's windows as start-up creates and wires them.
struct StartedWindows : ProgramWindows {
    StartedWindows() { CreateProgramWindows(*this); }
};

// The texts of one window and its controls (captions, item texts, menu texts, hints),
// each under a name that says where it is; the other windows inside it are left out.
inline std::map<QString, QString> visibleTexts(QWidget* window, const QList<QWidget*>& windows)
{
    std::map<QString, QString> out;
    const QSet<QObject*> others(windows.begin(), windows.end());
    out[window->objectName() + ".caption"] = window->windowTitle();
    QList<QObject*> queue{window};
    int n = 0;
    while (!queue.isEmpty()) {
        for (QObject* o : queue.takeFirst()->children()) {
            if (others.contains(o))
                continue;
            queue.append(o);
            const QString where = window->objectName() + '/' +
                                  (o->objectName().isEmpty() ? QString::number(++n) : o->objectName()) + '.' +
                                  QString::fromLatin1(o->metaObject()->className());
            if (auto* b = qobject_cast<QAbstractButton*>(o)) {
                out[where] = b->text();
                out[where + ".hint"] = b->toolTip();
            } else if (auto* l = qobject_cast<QLabel*>(o)) {
                out[where] = l->text();
            } else if (auto* g = qobject_cast<QGroupBox*>(o)) {
                out[where] = g->title();
            } else if (auto* m = qobject_cast<QMenu*>(o)) {
                out[where] = m->title();
            } else if (auto* a = qobject_cast<QAction*>(o)) {
                out[where] = a->isSeparator() ? QStringLiteral("-") : a->text();
            }
        }
    }
    return out;
}
