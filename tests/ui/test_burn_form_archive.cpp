// The burn window's part of the archive: each burn's checksum list and archive record,
// the question before files the disc holds unchanged are burnt again, "Check disc" with
// its table, and the list filled with the reports never archived.

#include "burn/write/disc_audit.h"
#include "reports/archive_record.h"
#include "reports/report_checksums.h"
#include "tests/support/burn_window_rig.h"
#include "ui/disc_audit_window.h"

#include <QLabel>

#include <QTableWidget>
#include <QComboBox>
#include <QToolButton>
#include <QApplication>
#include <gtest/gtest.h>

TEST(BurnWindowArchive, BurnsAreRecordedCheckDiscFindsAChangedFileAndUnchangedFilesAreAskedAbout)
{
    BurnWindowRig r;
    TBurnFrm& f = *r.form;
    int archiveChanges = 0;
    f.OnArchiveChanged = [&archiveChanges] { ++archiveChanges; };
    std::vector<TAuditResult> audits;
    f.ShowAudit = [&audits](const TAuditResult& a) { audits.push_back(a); };
    const QString a = r.makeFile("Report/a_1_5.txt", 3000), b = r.makeFile("Report/zażółć_2_3.txt", 70000);
    QString message;
    // b as it was downloaded: the copy on the disc will differ from it.
    ASSERT_TRUE(RecordReportChecksum(ReportChecksumsFile(), "zażółć_2_3.txt", std::string(64, '0'), &message));

    f.AddFileToBurnList(a);
    f.AddFileToBurnList(b);
    ASSERT_TRUE(r.burn());
    EXPECT_TRUE(r.logTail(1).contains(texts::BurnFrm(4))) << r.logTail(4).toStdString();
    EXPECT_EQ(archiveChanges, 1);
    std::vector<TArchiveEntry> record;
    ASSERT_TRUE(LoadArchiveRecord(ArchiveRecordFile(), &record, &message)) << message.toStdString();
    ASSERT_EQ(record.size(), 2u);
    EXPECT_EQ(record[0].name, "a_1_5.txt");
    EXPECT_EQ(record[1].name, "zażółć_2_3.txt");
    EXPECT_EQ(record[0].session, 1);
    EXPECT_EQ(record[0].drive, f.cbb1->currentText().toStdString());
    EXPECT_EQ(listSession(r.image, 0).count("SHA256SUMS"), 1) << listSession(r.image, 0).toStdString();

    f.CheckBtn->click();
    ASSERT_EQ(audits.size(), 1u);
    ASSERT_EQ(audits[0].rows.size(), 2u);
    EXPECT_EQ(audits[0].rows[0].state, TAuditState::NoDownloadRecord);
    EXPECT_EQ(audits[0].rows[1].state, TAuditState::Differs);
    EXPECT_EQ(audits[0].rows[1].detail, "differs from the checksum recorded at the download");
    EXPECT_TRUE(f.BurnBtn->isEnabled());

    // The same list again: the operator is asked; Cancel writes nothing.
    {
        MessageBoxAnswerer cancel({QMessageBox::Cancel});
        ASSERT_TRUE(r.burn());
    }
    EXPECT_TRUE(r.logTail(1).startsWith("Already on the disc unchanged: a_1_5.txt, zażółć_2_3.txt"))
        << r.logTail(2).toStdString();
    EXPECT_EQ(archiveChanges, 1);
    {
        MessageBoxAnswerer ok({QMessageBox::Ok});
        ASSERT_TRUE(r.burn());
    }
    EXPECT_TRUE(r.logTail(1).contains(texts::BurnFrm(4))) << r.logTail(4).toStdString();
    EXPECT_EQ(archiveChanges, 2);
    ASSERT_TRUE(LoadArchiveRecord(ArchiveRecordFile(), &record, &message));
    ASSERT_EQ(record.size(), 4u);
    EXPECT_EQ(record[3].session, 2);
}

TEST(BurnWindowArchive, TheListCanBeFilledWithTheReportsNeverArchivedAndTheAuditHasAWindow)
{
    BurnWindowRig r;
    TBurnFrm& f = *r.form;
    EXPECT_EQ(f.CheckBtn->toolTip(), "Check disc");
    EXPECT_FALSE(f.UnarchivedBtn->icon().isNull());
    const QString a = r.makeFile("Report/a.txt", 10), b = r.makeFile("Report/b.txt", 10);
    f.AddFileToBurnList(r.makeFile("other.txt", 5));
    f.UnarchivedReports = [&] { return QStringList {a, b}; };
    f.UnarchivedBtn->click();
    EXPECT_EQ(f.FilePaths(), (QStringList {a, b}));

    TAuditResult audit;
    audit.read = true;
    audit.sessions = 2;
    audit.withoutList = {1};
    audit.rows = {{"a.txt", 1, 10, TAuditState::NotInList, {}},
                  {"dir/b.txt", 2, 10, TAuditState::Differs, "differs from the session's checksum list"},
                  {"c.txt", 2, -1, TAuditState::Missing,
                   "its extent at sector 123456 lies beyond the end of the session that names it"}};
    TDiscAuditWindow window(audit);
    ASSERT_EQ(window.Table->rowCount(), 3);
    EXPECT_EQ(window.Table->item(1, 0)->text(), "dir/b.txt");
    EXPECT_EQ(window.Table->item(1, 1)->text(), "2");
    EXPECT_EQ(window.Table->item(1, 3)->text(), "differs (differs from the session's checksum list)");
    EXPECT_EQ(window.Table->item(2, 2)->text(), "-");
    EXPECT_EQ(window.Summary->text(), "2 of 3 files differ or are missing. Session 1 has no checksum list.");
    window.show();
    // No text is cut, however wide the window: the first three columns as wide as their
    // longest text, the state wrapped into a row tall enough for it, nothing beyond the edge.
    for (const int width : {1200, window.minimumWidth()}) {
        SCOPED_TRACE(width);
        window.resize(width, 400);
        QApplication::processEvents();
        QTableWidget& t = *window.Table;
        int total = 0;
        for (int c = 0; c < 4; ++c)
            total += t.columnWidth(c);
        EXPECT_LE(total, t.viewport()->width());
        for (int i = 0; i < 3; ++i) {
            for (int c = 0; c < 3; ++c)
                EXPECT_GE(t.columnWidth(c), t.fontMetrics().horizontalAdvance(t.item(i, c)->text())) << c << " " << i;
            const QRect wrapped = t.fontMetrics().boundingRect(QRect(0, 0, t.columnWidth(3) - 8, 10000),
                                                               Qt::TextWordWrap, t.item(i, 3)->text());
            EXPECT_GE(t.rowHeight(i), wrapped.height()) << i;
        }
    }
    // A long state at the narrowest width takes more than one line.
    EXPECT_GT(window.Table->rowHeight(2), window.Table->rowHeight(0));
}
