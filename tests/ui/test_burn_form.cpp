// The burn window's controls, layout, list handling and drive lines, without burning.

#include "core/base/extra_texts.h"
#include "tests/support/burn_window_rig.h"
#include "ui/burn_drive_list.h"

#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QSplitter>
#include <QTableWidget>
#include <QToolButton>
#include <QTest>
#include <gtest/gtest.h>

TEST(BurnWindow, ControlsCarryTheirNamesCaptionsAndHints)
{
    BurnWindowRig r;
    TBurnFrm& f = *r.form;
    EXPECT_EQ(f.objectName(), "BurnFrm");
    EXPECT_EQ(f.windowTitle(), "Burn");
    for (const char* name : {"Label1", "cbb1", "BurnBtn", "DeleteBtn", "FileBtn", "FolderBtn", "lv1", "Memo1",
                             "pb", "dlgOpen1", "Timer1"})
        EXPECT_NE(f.findChild<QObject*>(name), nullptr) << name;
    EXPECT_EQ(f.Label1->text(), "&Drive: ");
    EXPECT_EQ(f.BurnBtn->text(), "&Burn");
    EXPECT_EQ(f.DeleteBtn->toolTip(), "Delete");
    EXPECT_EQ(f.FileBtn->toolTip(), "Open file");
    EXPECT_EQ(f.FolderBtn->toolTip(), "Open folder");
    for (QToolButton* b : {f.DeleteBtn, f.FileBtn, f.FolderBtn})
        EXPECT_FALSE(b->icon().isNull()) << b->objectName().toStdString();
    EXPECT_EQ(f.Timer1->interval(), 1000);
    EXPECT_TRUE(f.Timer1->isActive());
    EXPECT_EQ(f.dlgOpen1->nameFilters(), QStringList{"File (*)"});
    EXPECT_EQ(f.dlgOpen1->fileMode(), QFileDialog::ExistingFiles);
    EXPECT_TRUE(f.lv1->showGrid());
    EXPECT_TRUE(f.lv1->isColumnHidden(1));
    EXPECT_EQ(f.lv1->selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_EQ(f.lv1->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_TRUE(f.CancelBtn->isHidden());

    // The burner's stored settings.
    TMCDBurner& b = f.mcdb();
    EXPECT_TRUE(b.UnderrunProtection());
    EXPECT_TRUE(b.DoDebug());
    EXPECT_FALSE(b.FinalizeDisc());
    EXPECT_FALSE(b.TestWrite());
    EXPECT_FALSE(b.ReplaceFile());
    EXPECT_EQ(b.CacheSize(), 4194304);
    EXPECT_TRUE(b.WritePostGap());

    // The drive list, its first line selected for the burner.
    ASSERT_EQ(f.cbb1->count(), 1);
    EXPECT_EQ(f.cbb1->currentIndex(), 0);
    EXPECT_EQ(r.transport.Drive().line, f.cbb1->itemData(0).toString().toStdString());
    // The shown line says what the drive writes.
    EXPECT_EQ(f.cbb1->itemText(0).toStdString(),
              r.transport.Drive().line + " [writes: CD-R, CD-RW, DVD-R, DVD-RAM, DVD+RW]");
}

TEST(BurnWindow, ShownCentredOnTheMainWindowAtLeastItsDesignSizeWithTheColumnTitleOfEntryZero)
{
    BurnWindowRig r;
    r.mainWindow.move(100, 80);
    r.mainWindow.show();
    texts::SetBurnFrm(0, "Nazwa pliku");
    r.form->show();
    EXPECT_EQ(r.form->lv1->horizontalHeaderItem(0)->text(), "Nazwa pliku");
    EXPECT_GE(r.form->width(), 491);
    EXPECT_GE(r.form->height(), 235);
    EXPECT_GE(r.form->cbb1->width(), 361);
    EXPECT_GE(r.form->Panel2->width(), 254);
    EXPECT_EQ(r.form->frameGeometry().center(), r.mainWindow.frameGeometry().center());
    // A longer caption widens its control instead of being cut.
    r.form->BurnBtn->setText("Nagraj teraz na wybrany dysk");
    QApplication::processEvents();
    EXPECT_GE(r.form->BurnBtn->width(), r.form->BurnBtn->sizeHint().width());
    r.form->hide();
    texts::ResetToDefaults();
}

TEST(BurnWindow, OpenFileAppendsInTheDialogsOrderAndDeleteRemovesTheSelectedRows)
{
    BurnWindowRig r;
    TBurnFrm& f = *r.form;
    f.ChooseFiles = [] { return QStringList{"/data/z.txt", "/data/a b.txt", "/other/a b.txt"}; };
    f.FileBtn->click();
    f.ChooseFiles = [] { return QStringList(); };  // cancelled
    f.FileBtn->click();
    EXPECT_EQ(f.FilePaths(), (QStringList{"/data/z.txt", "/data/a b.txt", "/other/a b.txt"}));
    EXPECT_EQ(f.lv1->item(1, 0)->text(), "a b.txt");
    f.lv1->selectRow(0);
    f.lv1->selectionModel()->select(f.lv1->model()->index(2, 0),
                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
    f.DeleteBtn->click();
    EXPECT_EQ(f.FilePaths(), QStringList{"/data/a b.txt"});
    // The Delete key in the list does what the toolbar button does.
    f.ChooseFiles = [] { return QStringList{"/data/c.txt"}; };
    f.FileBtn->click();
    f.show();
    f.lv1->setFocus();
    f.lv1->selectRow(1);
    QTest::keyClick(f.lv1, Qt::Key_Delete);
    EXPECT_EQ(f.FilePaths(), QStringList{"/data/a b.txt"});
    f.hide();
    f.ChooseFolder = [] { return QString(); };  // cancelled
    f.FolderBtn->click();
    EXPECT_EQ(f.FilePaths().size(), 1);
}

// Open folder adds every entry of the folder, hidden ones too, by name, as full paths.
TEST(BurnWindow, OpenFolderAddsEveryEntryByNameHiddenOnesToo)
{
    BurnWindowRig r;
    TBurnFrm& f = *r.form;
    const QString folder = r.home.path("reports");
    ASSERT_TRUE(QDir().mkpath(folder + "/sub"));
    for (const char* name : {"b.txt", ".hidden", "a.txt"}) {
        QFile file(folder + "/" + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    f.ChooseFolder = [folder] { return folder; };
    f.FolderBtn->click();
    EXPECT_EQ(f.FilePaths(), (QStringList{folder + "/.hidden", folder + "/a.txt", folder + "/b.txt", folder + "/sub"}));
    EXPECT_EQ(f.lv1->item(0, 0)->text(), ".hidden");
}

// A drive line names the device and what it writes, in the language files' words.
TEST(BurnWindow, DriveLineSaysWhatTheDriveWrites)
{
    texts::ResetToDefaults();
    TDriveAbilities unknown;
    TDriveAbilities readsOnly;
    readsOnly.known = true;
    TDriveAbilities writer;
    writer.known = true;
    writer.cdR = writer.cdRw = true;
    const struct {
        const TDriveAbilities& abilities;
        const char* shown;
    } cases[] = {
        {unknown, "0:1:0 DRIVE [writes: unknown]"},
        {readsOnly, "0:1:0 DRIVE [writes: nothing]"},
        {writer, "0:1:0 DRIVE [writes: CD-R, CD-RW]"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DriveLineText("0:1:0 DRIVE", c.abilities), c.shown);
    ASSERT_TRUE(extra::SetText("BurnWritesNothing", "nic"));
    ASSERT_TRUE(extra::SetText("BurnDriveLine", "%1 [nagrywa: %2]"));
    EXPECT_EQ(DriveLineText("0:1:0 DRIVE", readsOnly), QString::fromUtf8("0:1:0 DRIVE [nagrywa: nic]"));
    texts::ResetToDefaults();
}
