// Burns through the real windows offscreen against the emulated recorder: the report
// window hands the selected reports to the burn window, whose Burn writes a session that
// xorriso and isoinfo read back; the edge cases and failures the operator can meet.

#include "reports/catalogue.h"
#include "ui/main_window.h"
#include "ui/report_form.h"
#include "ui/upload_report_dialog.h"
#include "tests/support/burn_window_rig.h"
#include "tests/support/fake_session.h"
#include "tests/support/message_boxes.h"
#include "tests/support/recording_progress.h"

#include <QComboBox>
#include <QItemSelectionModel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QToolButton>
#include <condition_variable>
#include <mutex>
#include <QTableView>
#include <QTableWidget>
#include <gtest/gtest.h>

namespace {

const char kSkipOracles[] = "xorriso and isoinfo are needed (apt-get install xorriso genisoimage)";

// The report window with its catalogue, its Burn button handed to the rig's burn window
// as the start-up does it.
struct ReportWindowRig {
    FakeSession session;
    RecordingProgress progress;
    TCatalogue catalogue;
    TUploadReportDlg dialog;
    Tfmfrm form{*session.bus, progress, catalogue};

    explicit ReportWindowRig(TBurnFrm& burn)
    {
        form.setRangeDialog(&dialog);
        form.OnBurnFiles = [&burn](const QStringList& files) { burn.ExecuteWithFiles(files); };
    }
    void add(const QString& path)
    {
        catalogue.Append({QDateTime::currentDateTime(), QFileInfo(path).fileName().toLocal8Bit(),
                          QFile::encodeName(path), "Detail"});
    }
    void select(int row)
    {
        form.dbgrd1->selectionModel()->select(catalogue.index(row, 0),
                                              QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
};

// Runs `steps` inside the burn window's modal loop, then closes the window.
void whileShown(TBurnFrm& form, const std::function<void()>& steps)
{
    QTimer::singleShot(0, &form, [&form, steps] {
        steps();
        form.close();
    });
}

}  // namespace

TEST(EndToEndBurn, ReportsSelectedInTheCatalogueAreBurnedAndASecondBurnKeepsThem)
{
    BurnWindowRig r;
    ReportWindowRig reports(*r.form);
    const QString a = r.makeFile("Report/daily_1_5.txt", 3000);
    const QString skipped = r.makeFile("Report/skipped_1_1.txt", 10);
    const QString b = r.makeFile("Report/month_6_9.txt", 70000);
    reports.add(a);
    reports.add(skipped);
    reports.add(r.home.path("Report/gone_2_2.txt"));  // selected, but its file is missing
    reports.add(b);
    reports.select(3);
    reports.select(0);
    reports.select(2);

    QStringList listed;
    bool shownModal = false, firstDone = false;
    whileShown(*r.form, [&] {
        shownModal = r.form->isModal() && QApplication::activeModalWidget() == r.form.get();
        listed = r.form->FilePaths();
        firstDone = r.burn();
    });
    reports.form.RurnBtn->click();  // returns when the burn window has been closed
    EXPECT_TRUE(shownModal);
    EXPECT_EQ(listed, (QStringList{a, b}));  // catalogue order, existing files only
    ASSERT_TRUE(firstDone);
    EXPECT_EQ(r.form->LogLines(),
              (QStringList{"Burning CD - Please wait", "FINALIZING TRACK - PLEASE WAIT", "Burning done - No error"}));
    EXPECT_TRUE(r.form->BurnBtn->isEnabled());
    EXPECT_EQ(r.form->mcdb().FileCount(), 0);  // the tables were emptied after the burn
    ASSERT_EQ(r.drive()->Sessions().size(), 1u);
    EXPECT_EQ(r.drive()->Sessions()[0].start, 0u);
    r.form->Timer1Timer();
    EXPECT_EQ(r.form->pb->maximum(), 300);  // a few small files still make a 300-sector session
    EXPECT_EQ(r.form->pb->value(), 300);

    // A further burn from the report window: the same files and one more added by Open file.
    const QString c = r.makeFile("extra/c.txt", 5);
    r.form->ChooseFiles = [c] { return QStringList{c}; };
    bool secondDone = false;
    // Two of the files are on the disc unchanged: the operator says to burn them again.
    MessageBoxAnswerer again({QMessageBox::Ok});
    whileShown(*r.form, [&] {
        r.form->FileBtn->click();
        listed = r.form->FilePaths();
        secondDone = r.burn();
    });
    reports.form.RurnBtn->click();
    EXPECT_EQ(listed, (QStringList{a, b, c}));
    ASSERT_TRUE(secondDone);
    EXPECT_EQ(r.logTail(2), "FINALIZING TRACK - PLEASE WAIT|Burning done - No error");
    ASSERT_EQ(r.drive()->Sessions().size(), 2u);
    const uint32_t second = r.drive()->Sessions()[1].start;
    EXPECT_GT(second, 300u);

    if (!haveOracles())
        GTEST_SKIP() << kSkipOracles;
    const QString first = listSession(r.image, 0);
    EXPECT_TRUE(first.contains("'/daily_1_5.txt'") && first.contains("'/month_6_9.txt'")) << first.toStdString();
    EXPECT_FALSE(first.contains("skipped")) << first.toStdString();
    const QString newest = listSession(r.image, second);
    for (const char* name : {"'/daily_1_5.txt'", "'/month_6_9.txt'", "'/c.txt'"})
        EXPECT_TRUE(newest.contains(name)) << name << newest.toStdString();
    EXPECT_EQ(extractFromSession(r.image, 0, "/daily_1_5.txt", r.home.path("")), readTestFile(a));
    EXPECT_EQ(extractFromSession(r.image, second, "/month_6_9.txt", r.home.path("")), readTestFile(b));
    EXPECT_EQ(extractFromSession(r.image, second, "/c.txt", r.home.path("")), readTestFile(c));
    // isoinfo: the first session's ISO 9660 names, the newest session's Joliet tree.
    const OracleRun iso = runOracle("isoinfo", {"-l", "-i", r.image});
    EXPECT_TRUE(iso.out.contains("DAILY_~1.TXT;1") && iso.out.contains("MONTH_~1.TXT;1")) << iso.out.toStdString();
    const OracleRun joliet = runOracle("isoinfo", {"-T", QString::number(second), "-J", "-f", "-i", r.image});
    for (const char* name : {"/daily_1_5.txt", "/month_6_9.txt", "/c.txt"})
        EXPECT_TRUE(joliet.out.contains(name)) << name << joliet.out.toStdString();
}

TEST(EndToEndBurn, NothingToBurnLeavesTheDiscAndTheButtonAlone)
{
    BurnWindowRig r;
    const QStringList before = r.form->LogLines();
    r.form->BurnBtn->click();  // an empty list
    EXPECT_EQ(r.form->LogLines(), before);
    EXPECT_TRUE(r.form->BurnBtn->isEnabled());
    EXPECT_FALSE(r.form->Burning());

    // Files that are gone by the time Burn is pressed are left out without a word.
    r.form->AddFileToBurnList(r.home.path("gone/a.txt"));
    r.form->AddFileToBurnList(r.home.path("gone/b.txt"));
    r.form->BurnBtn->click();
    EXPECT_EQ(r.form->LogLines(), before);
    EXPECT_TRUE(r.form->BurnBtn->isEnabled());
    EXPECT_EQ(r.form->mcdb().FileCount(), 0);
    ASSERT_NE(r.drive(), nullptr);
    EXPECT_TRUE(r.drive()->Sessions().empty());
}

TEST(EndToEndBurn, SecondFileOfTheSameNameIsRefusedAndTheLogSaysSo)
{
    BurnWindowRig r;
    const QString first = r.makeFile("x/report.txt", 4000);
    const QString second = r.makeFile("y/report.txt", 9000);
    r.form->AddFileToBurnList(first);
    r.form->AddFileToBurnList(second);
    ASSERT_TRUE(r.burn());
    EXPECT_EQ(r.logTail(2), "FINALIZING TRACK - PLEASE WAIT|Burning done - No error");
    // The refusal reached the log, before the burn began.
    const QStringList log = r.form->LogLines();
    const qsizetype started = log.indexOf("Burning CD - Please wait");
    ASSERT_GT(started, 0) << log.join('|').toStdString();
    EXPECT_TRUE(log[started - 1].contains("REPORT.TXT") || log[started - 1].contains("report.txt"))
        << log.join('|').toStdString();
    ASSERT_EQ(r.drive()->Sessions().size(), 1u);
    if (!haveOracles())
        GTEST_SKIP() << kSkipOracles;
    EXPECT_EQ(extractFromSession(r.image, 0, "/report.txt", r.home.path("")), readTestFile(first));
}

TEST(EndToEndBurn, TooLittleSpaceNamesBothSizesAndALaterBurnStartsClean)
{
    BurnWindowRig r;
    ASSERT_NE(r.drive(), nullptr);
    r.drive()->SetCapacity(299);  // one sector short of the smallest session
    const QString a = r.makeFile("a.txt", 100);
    r.form->AddFileToBurnList(a);
    r.form->BurnBtn->click();
    EXPECT_EQ(r.logTail(1), "INSUFFICIENT DISC SPACE. REQUIRED 600 KB,AVAILABLE 598 KB");
    EXPECT_FALSE(r.form->Burning());
    EXPECT_TRUE(r.drive()->Sessions().empty());

    // Translated, the entry keeps its two figures in place.
    texts::SetBurnFrm(1, "ZA MALO MIEJSCA. WYMAGANE %s KB, DOSTEPNE %s KB");
    r.form->BurnBtn->click();
    EXPECT_EQ(r.logTail(1), "ZA MALO MIEJSCA. WYMAGANE 600 KB, DOSTEPNE 598 KB");
    texts::ResetToDefaults();

    // With room again the same list burns once, with no refusal of its own second copy.
    r.drive()->SetCapacity(TEmulatedDrive::kBlank80MinBlocks);
    const qsizetype before = r.form->LogLines().size();
    ASSERT_TRUE(r.burn());
    EXPECT_EQ(r.form->LogLines().mid(before),
              (QStringList{"Burning CD - Please wait", "FINALIZING TRACK - PLEASE WAIT", "Burning done - No error"}));
    ASSERT_EQ(r.drive()->Sessions().size(), 1u);
}

TEST(EndToEndBurn, WriteErrorEndsWithEntryFiveAndTheBurnersReason)
{
    BurnWindowRig r;
    ASSERT_NE(r.drive(), nullptr);
    r.drive()->writeErrorSector = 40;
    r.form->AddFileToBurnList(r.makeFile("big.bin", 400000));
    ASSERT_TRUE(r.burn());
    const QStringList log = r.form->LogLines();
    const qsizetype done = log.indexOf("Burning done - With error");
    ASSERT_GE(done, 0) << log.join('|').toStdString();
    ASSERT_EQ(done, log.size() - 2) << log.join('|').toStdString();
    EXPECT_TRUE(log.last().startsWith("WRITER ERROR")) << log.last().toStdString();
    EXPECT_FALSE(log.contains("Burning done - No error"));
    EXPECT_TRUE(r.form->BurnBtn->isEnabled());
    EXPECT_TRUE(r.form->CancelBtn->isHidden());
    EXPECT_EQ(r.form->mcdb().FileCount(), 0);

    // The fault cleared, Burn writes the list.
    r.drive()->writeErrorSector = -1;
    ASSERT_TRUE(r.burn());
    EXPECT_EQ(r.logTail(1), "Burning done - No error");
}

TEST(EndToEndBurn, WithoutATransportLayerTheLogSaysSoAndNoDriveIsListed)
{
    BurnWindowRig r(false);
    // Burn is off, and the log says what to set up.
    ASSERT_EQ(r.form->LogLines().size(), 2);
    EXPECT_EQ(r.form->LogLines()[0], "Error initializing ASPI Layer");
    const QString help = r.form->LogLines()[1];
    for (const char* what : {"/dev/sr*", "cdrom", "[Burn] VirtualDrive"})
        EXPECT_TRUE(help.contains(what)) << what << ": " << help.toStdString();
    EXPECT_FALSE(r.form->BurnBtn->isEnabled());
    EXPECT_EQ(r.form->cbb1->count(), 0);
    EXPECT_FALSE(r.form->mcdb().ASPIInitialized());
    // The language files come after the window was made: shown, it speaks their language.
    ASSERT_TRUE(texts::SetBurnFrm(6, QString::fromUtf8("Błąd inicjalizacji warstwy ASPI")));
    r.form->show();
    EXPECT_EQ(r.form->LogLines(), (QStringList{QString::fromUtf8("Błąd inicjalizacji warstwy ASPI"), help}));
    // A log that has grown since is left as it stands.
    r.form->hide();
    r.form->Memo1->appendPlainText("later line");
    ASSERT_TRUE(texts::SetBurnFrm(6, "Other text"));
    r.form->show();
    EXPECT_EQ(r.form->LogLines(),
              (QStringList{QString::fromUtf8("Błąd inicjalizacji warstwy ASPI"), help, "later line"}));
    texts::ResetToDefaults();
}

TEST(EndToEndBurn, OpenFolderListsItsEntriesAndSubFoldersAreWrittenWholeUnderTheirNames)
{
    BurnWindowRig r;
    const QString top = r.makeFile("picked/top.txt", 1000);
    const QString deep = r.makeFile("picked/sub/deeper/deep.txt", 3000);
    const QString hidden = r.makeFile("picked/.hidden", 10);
    r.form->ChooseFolder = [&r] { return r.home.path("picked"); };
    r.form->FolderBtn->click();
    EXPECT_EQ(r.form->FilePaths(),
              (QStringList{hidden, r.home.path("picked/sub"), top}));  // every entry, sorted by name
    ASSERT_TRUE(r.burn());
    EXPECT_EQ(r.logTail(1), "Burning done - No error");
    if (!haveOracles())
        GTEST_SKIP() << kSkipOracles;
    const QString files = listSession(r.image, 0);
    for (const char* name : {"'/top.txt'", "'/.hidden'", "'/sub/deeper/deep.txt'"})
        EXPECT_TRUE(files.contains(name)) << name << files.toStdString();
    EXPECT_EQ(extractFromSession(r.image, 0, "/sub/deeper/deep.txt", r.home.path("")), readTestFile(deep));
}

namespace {

// Holds the burner's write thread at one of its events until the test opens the gate,
// so that the window can be seen in the state between two events.
struct WriteThreadGate {
    std::mutex mutex;
    std::condition_variable opened;
    bool open = false, reached = false;

    void hold()
    {
        std::unique_lock lock(mutex);
        reached = true;
        opened.wait(lock, [this] { return open; });
    }
    bool wasReached()
    {
        std::lock_guard lock(mutex);
        return reached;
    }
    void release()
    {
        std::lock_guard lock(mutex);
        open = true;
        opened.notify_all();
    }
    // Holds the burner's write thread at its first line, before any data is written.
    void holdAtFirstLine(TMCDBurner& burner)
    {
        auto lines = burner.OnDebugMessage;
        burner.OnDebugMessage = [this, lines](TSCSIDevice& sender, const std::string& text, uint8_t kind) {
            if (text.rfind(">>> STARTING WRITE PROCESS", 0) == 0)
                hold();
            lines(sender, text, kind);
        };
    }
};

}  // namespace

TEST(EndToEndBurn, BurnPressedWhileTheFirstBurnIsFinalizingIsRefusedWithALogLine)
{
    BurnWindowRig r;
    r.form->AddFileToBurnList(r.makeFile("a.txt", 5000));
    WriteThreadGate gate;
    auto done = r.form->mcdb().OnWriteDone;
    r.form->mcdb().OnWriteDone = [&gate, done](TMCDBurner& sender, const std::string& error) {
        gate.hold();
        done(sender, error);
    };
    r.form->BurnBtn->click();
    EXPECT_FALSE(r.form->BurnBtn->isEnabled());
    ASSERT_TRUE(waitFor([&] { return r.form->BurnBtn->isEnabled(); }, 60000));  // finalizing began
    EXPECT_EQ(r.logTail(1), "FINALIZING TRACK - PLEASE WAIT");
    ASSERT_TRUE(waitFor([&] { return gate.wasReached(); }, 60000));
    r.form->BurnBtn->click();
    EXPECT_EQ(r.logTail(1), "BURN REFUSED - THE PREVIOUS BURN HAS NOT ENDED YET");
    EXPECT_TRUE(r.form->Burning());
    gate.release();
    ASSERT_TRUE(waitFor([&] { return !r.form->Burning(); }, 60000));
    EXPECT_EQ(r.logTail(2), "BURN REFUSED - THE PREVIOUS BURN HAS NOT ENDED YET|Burning done - No error");
    EXPECT_EQ(r.drive()->Sessions().size(), 1u);
}

TEST(EndToEndBurn, CancelAsksFirstThenStopsTheBurnThroughTheAbortPath)
{
    BurnWindowRig r;
    r.form->AddFileToBurnList(r.makeFile("big.bin", 3000000));
    WriteThreadGate gate;
    gate.holdAtFirstLine(r.form->mcdb());
    r.form->BurnBtn->click();
    ASSERT_TRUE(r.form->Burning());
    ASSERT_TRUE(waitFor([&] { return gate.wasReached(); }, 60000));
    EXPECT_FALSE(r.form->CancelBtn->isHidden());
    {
        MessageBoxAnswerer boxes({QMessageBox::Cancel});
        r.form->CancelBtn->click();
        ASSERT_EQ(boxes.texts.size(), 1);
        EXPECT_TRUE(boxes.texts[0].startsWith("Stop the burn?")) << boxes.texts[0].toStdString();
        EXPECT_EQ(boxes.titles, QStringList{"Information"});
        EXPECT_TRUE(r.form->CancelBtn->isEnabled());  // still running, still cancellable
        boxes.answers = {QMessageBox::Ok};
        r.form->CancelBtn->click();
        EXPECT_EQ(boxes.texts.size(), 2);
    }
    gate.release();
    ASSERT_TRUE(waitFor([&] { return !r.form->Burning(); }, 60000));
    EXPECT_EQ(r.logTail(2), "Burning done - With error|OPERATION ABORTED BY USER");
    EXPECT_LT(r.form->mcdb().BytesWritten(), 3000000);
    EXPECT_TRUE(r.form->CancelBtn->isHidden());
    EXPECT_TRUE(r.form->BurnBtn->isEnabled());
}

TEST(EndToEndBurn, TheProgramDoesNotCloseWhileABurnRuns)
{
    BurnWindowRig r;
    TMainForm main;
    TBurnFrm* burn = r.form.get();
    main.OnCloseQuery = [burn] { return burn->CanCloseProgram(); };
    main.show();
    r.form->AddFileToBurnList(r.makeFile("a.txt", 5000));
    r.form->BurnBtn->click();
    ASSERT_TRUE(r.form->Burning());  // its end has not reached the window yet
    {
        MessageBoxAnswerer boxes;
        EXPECT_FALSE(main.close());
        ASSERT_EQ(boxes.texts.size(), 1);
        EXPECT_TRUE(boxes.texts[0].contains("burn")) << boxes.texts[0].toStdString();
    }
    EXPECT_TRUE(main.isVisible());
    ASSERT_TRUE(waitFor([&] { return !r.form->Burning(); }, 60000));
    EXPECT_TRUE(main.close());
}

TEST(EndToEndBurn, WhileABurnRunsTheDriveListTheFileToolsAndTheListAreDisabled)
{
    BurnWindowRig r;
    r.form->AddFileToBurnList(r.makeFile("big.bin", 3000000));
    WriteThreadGate gate;
    gate.holdAtFirstLine(r.form->mcdb());
    r.form->show();
    r.form->BurnBtn->click();
    ASSERT_TRUE(waitFor([&] { return gate.wasReached(); }, 60000));
    for (QWidget* w : std::initializer_list<QWidget*>{r.form->cbb1, r.form->DeleteBtn, r.form->FileBtn,
                                                      r.form->FolderBtn, r.form->lv1, r.form->BurnBtn})
        EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    if (const QByteArray dir = qgetenv("VOBRELFM_SCREENSHOT_DIR"); !dir.isEmpty())
        r.form->grab().save(QString::fromLocal8Bit(dir) + "/burn_window_burning.png");
    // Even a choice that reaches the handler leaves the drive alone.
    const std::size_t modeSelects = r.drive()->Commands(0x55).size();
    r.form->cbb1Change();
    EXPECT_EQ(r.drive()->Commands(0x55).size(), modeSelects);
    gate.release();
    ASSERT_TRUE(waitFor([&] { return !r.form->Burning(); }, 120000));
    EXPECT_EQ(r.logTail(1), "Burning done - No error");
    for (QWidget* w : std::initializer_list<QWidget*>{r.form->cbb1, r.form->DeleteBtn, r.form->FileBtn,
                                                      r.form->FolderBtn, r.form->lv1, r.form->BurnBtn})
        EXPECT_TRUE(w->isEnabled()) << w->objectName().toStdString();
    r.form->hide();
}
