#include "ui/file_dialog_sidebar.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFileDialog>
#include <QListView>
#include <QScrollBar>
#include <QSplitter>
#include <algorithm>

namespace {

// The width the list needs to show every entry whole.
int neededWidth(const QListView* places)
{
    const QAbstractItemModel* model = places->model();
    if (!model)
        return 0;
    int widest = 0;
    for (int row = 0; row < model->rowCount(places->rootIndex()); ++row) {
        const QModelIndex index = model->index(row, places->modelColumn(), places->rootIndex());
        widest = std::max(widest, places->sizeHintForIndex(index).width());
    }
    const int scrollBar = places->verticalScrollBar()->isVisible() ? places->verticalScrollBar()->width() : 0;
    return widest + 2 * places->frameWidth() + 2 * places->spacing() + scrollBar;
}

class SidebarFitter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show)
            if (auto* dialog = qobject_cast<QFileDialog*>(watched))
                FitFileDialogSidebar(dialog);
        return false;
    }
};

}  // namespace

void FitFileDialogSidebar(QFileDialog* dialog)
{
    // The places take their names when set, and Qt does not rename them when the language
    // changes: set again, they are named in the language now in use.
    dialog->setSidebarUrls(dialog->sidebarUrls());
    auto* places = dialog->findChild<QListView*>(QStringLiteral("sidebar"));
    auto* splitter = dialog->findChild<QSplitter*>(QStringLiteral("splitter"));
    if (!places || !splitter || splitter->count() != 2 || splitter->widget(0) != places)
        return;
    QList<int> sizes = splitter->sizes();
    const int needed = neededWidth(places);
    if (needed <= sizes[0])
        return;
    const int total = sizes[0] + sizes[1];
    sizes[0] = std::min(needed, total / 2);  // the files keep at least half
    sizes[1] = total - sizes[0];
    splitter->setSizes(sizes);
}

void FitFileDialogSidebars()
{
    static bool installed = false;
    if (installed || !QCoreApplication::instance())
        return;
    installed = true;
    QCoreApplication::instance()->installEventFilter(new SidebarFitter(QCoreApplication::instance()));
}
