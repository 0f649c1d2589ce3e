// The start-up order of the windows.

#include "ui/startup.h"

#include "reports/catalogue.h"
#include "ui/comm_dialog.h"
#include "ui/main_window.h"
#include "ui/progress_form.h"
#include "ui/report_form.h"
#include "ui/upload_report_dialog.h"
#include "ui/burn_form.h"
#include "tests/support/test_home.h"

#include <QApplication>
#include <QChildEvent>
#include <QItemSelectionModel>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
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
    ASSERT_TRUE(windows.burnFrm);
    EXPECT_LT(range, order.joined.indexOf(windows.burnFrm.get()));  // the burn window last
    EXPECT_EQ(windows.burnFrm->parentWidget(), windows.mainForm.get());
    EXPECT_EQ(windows.mainForm->progressForm(), windows.progressForm.get());
}

TEST(StartUp, TheReportWindowsBurnButtonShowsTheBurnWindowWithTheSelectedReports)
{
    TestHome home;
    ProgramWindows windows;
    CreateProgramWindows(windows);
    TCatalogue& catalogue = windows.dm->fmRpt;
    QStringList files;
    for (const char* name : {"a_1_2.txt", "b_3_4.txt", "c_5_6.txt"}) {
        files << Settings().ReportDir + name;
        writeTestFile(files.last(), "LINE\r\n");
        catalogue.AddReport(files.last(), "Detail", QDateTime::currentDateTime());
    }
    windows.mainForm->show();
    QItemSelectionModel* selection = windows.fmfrm->dbgrd1->selectionModel();
    for (int row : {2, 0})
        selection->select(catalogue.index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QStringList listed;
    bool modal = false;
    QTimer::singleShot(0, windows.burnFrm.get(), [&] {
        modal = QApplication::activeModalWidget() == windows.burnFrm.get();
        listed = windows.burnFrm->FilePaths();
        windows.burnFrm->close();
    });
    windows.fmfrm->RurnBtn->click();
    EXPECT_TRUE(modal);
    EXPECT_EQ(listed, (QStringList{files[0], files[2]}));
    EXPECT_FALSE(windows.burnFrm->isVisible());
}
