// The start-up order of the windows.

#include "ui/startup.h"

#include "reports/catalogue.h"
#include "ui/comm_dialog.h"
#include "ui/main_window.h"
#include "ui/progress_form.h"
#include "ui/report_form.h"
#include "ui/upload_report_dialog.h"
#include "tests/test_home.h"

#include <QApplication>
#include <QChildEvent>
#include <gtest/gtest.h>

namespace {
// Records the widgets in the order they join a parent: a widget joins its parent while it
// is being constructed, so this is the order of creation.
class CreationOrder : public QObject {
public:
    QList<QObject*> joined;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::ChildAdded) {
            QObject* child = static_cast<QChildEvent*>(event)->child();
            if (child->isWidgetType() && !joined.contains(child))
                joined << child;
        }
        return false;
    }
};
}  // namespace

TEST(StartUp, WindowsAreCreatedInTheStartUpOrder)
{
    TestHome home;
    CreationOrder order;
    qApp->installEventFilter(&order);
    ProgramWindows windows;
    CreateProgramWindows(windows);
    qApp->removeEventFilter(&order);

    ASSERT_TRUE(windows.dm && windows.mainForm && windows.commDlg && windows.progressForm &&
                windows.fmfrm && windows.uploadReportDlg);
    EXPECT_TRUE(windows.dm->IsOpen());
    const qsizetype comm = order.joined.indexOf(windows.commDlg.get());
    const qsizetype report = order.joined.indexOf(windows.fmfrm);
    const qsizetype range = order.joined.indexOf(windows.uploadReportDlg.get());
    ASSERT_GE(comm, 0);
    ASSERT_GE(report, 0);
    ASSERT_GE(range, 0);
    EXPECT_LT(comm, report);
    EXPECT_LT(report, range);  // the report window before the range dialog
    EXPECT_EQ(windows.mainForm->progressForm(), windows.progressForm.get());
}
