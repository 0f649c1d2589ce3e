// Windows on small and scaled screens and in dark themes: placement inside the available
// area, the main window's remembered place, the progress window's truthful counter, the
// colours that come in pairs, and the main window's status bar and title.

#include "core/settings.h"
#include "core/texts.h"
#include "reports/catalogue.h"
#include "tests/support/test_home.h"
#include "tests/ui/language_rig.h"
#include "ui/file_dialog_sidebar.h"
#include "ui/label3d.h"
#include "ui/palette_icon.h"
#include "ui/progress_form.h"
#include "ui/qt_catalogue.h"
#include "ui/report_form.h"
#include "ui/window_layout.h"
#include "ui/window_memory.h"
#include "ui/burn_form.h"
#include "ui/upload_report_dialog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QIcon>
#include <QImage>
#include <QFileDialog>
#include <QLabel>
#include <QListView>
#include <QMessageBox>
#include <QVBoxLayout>
#include <cmath>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

TEST(WindowPlace, ClientAreaWithItsFrameLiesInsideTheArea)
{
    const QRect area(0, 0, 683, 384);  // 1366 x 768 at scale 2
    const QMargins frame(2, 12, 2, 2);
    const struct {
        const char* what;
        QSize size;
        QPoint centre;
        QSize expectedSize;
    } cases[] = {
        {"fits, centred", {300, 200}, area.center(), {300, 200}},
        {"taller than the screen", {656, 553}, area.center(), {656, 370}},
        {"wider and taller", {1136, 900}, area.center(), {679, 370}},
        {"centred past the top left", {300, 200}, {-50, -80}, {300, 200}},
        {"centred past the bottom right", {300, 200}, {900, 700}, {300, 200}},
    };
    for (const auto& c : cases) {
        const QRect placed = PlaceInArea(c.size, c.centre, area, frame);
        EXPECT_EQ(placed.size(), c.expectedSize) << c.what;
        EXPECT_TRUE(area.contains(placed.marginsAdded(frame))) << c.what;
    }
    EXPECT_EQ(PlaceInArea({300, 200}, area.center(), area, frame).center(), area.center());
}

TEST(WindowPlace, AWindowLargerThanItsScreenOpensInsideIt)
{
    QWidget window;
    auto* big = new QWidget(&window);
    auto* layout = new QVBoxLayout(&window);
    big->setMinimumSize(3000, 2000);
    layout->addWidget(big);
    layout->setSizeConstraint(QLayout::SetMinimumSize);
    window.resize(3000, 2000);
    CentreOnScreen(&window);
    const QRect area = AvailableArea(&window);
    ASSERT_FALSE(area.isEmpty());
    EXPECT_TRUE(area.contains(window.geometry().marginsAdded(WindowFrameMargins(&window))))
        << window.geometry().width() << "x" << window.geometry().height();
    window.show();
    QApplication::processEvents();
    EXPECT_LE(window.width(), area.width()) << "the layout took back its minimum";
    EXPECT_LE(window.height(), area.height());
}

TEST(WindowMemory, StoredPlaceComesBackInsideTheScreen)
{
    TestHome home;
    const QRect area = StartedWindows().mainForm->screen()->availableGeometry();
    const struct {
        const char* what;
        QByteArray file;
        bool restored;  // the stored size comes back
    } cases[] = {
        {"inside", "[MainForm]\r\nLeft=40\r\nTop=50\r\nWidth=700\r\nHeight=560\r\nSplitter=250,440\r\n", true},
        {"on a screen no longer there", "[MainForm]\r\nLeft=3000\r\nTop=-900\r\nWidth=700\r\nHeight=560\r\n", true},
        {"larger than the screen", "[MainForm]\r\nLeft=0\r\nTop=0\r\nWidth=5000\r\nHeight=4000\r\n", false},
        {"no numbers", "[MainForm]\r\nLeft=x\r\nTop=0\r\nWidth=700\r\nHeight=560\r\n", false},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(writeTestFile(WindowStateFile(), c.file));
        StartedWindows w;
        w.mainForm->RestoreWindowState();
        w.mainForm->show();
        QApplication::processEvents();
        const QRect g = w.mainForm->geometry();
        EXPECT_TRUE(area.contains(g)) << c.what << ": " << g.x() << "," << g.y() << " " << g.width() << "x"
                                      << g.height();
        if (c.restored) {
            EXPECT_EQ(g.size(), QSize(700, 560)) << c.what;
        }
        if (QByteArray(c.what) == "inside") {
            EXPECT_EQ(g.topLeft(), QPoint(40, 50));
            EXPECT_NEAR(w.fmfrm->spl1->sizes().value(0), 250, 8) << "the split, give or take the handle";
        }
    }
}

TEST(WindowMemory, ClosingStoresPlaceAndSplit)
{
    TestHome home;
    QList<int> split;
    {
        StartedWindows w;
        w.mainForm->show();
        w.mainForm->setGeometry(30, 40, 720, 540);
        w.fmfrm->spl1->setSizes({300, 400});
        QApplication::processEvents();
        split = w.fmfrm->spl1->sizes();
        w.mainForm->close();
    }
    const TMainWindowState state = ReadWindowState(WindowStateFile());
    EXPECT_EQ(state.geometry, QRect(30, 40, 720, 540));
    EXPECT_EQ(state.splitter, split);
    EXPECT_FALSE(state.maximized);
}

TEST(ProgressTruth, UnknownTotalIsABusyBarAndACountOfPages)
{
    TestHome home;
    QWidget main;
    TProgressForm form(&main, [] {});
    form.Show();
    form.SetTotalUnknown();
    for (int page = 1; page <= 6; ++page)
        form.SetCurrentPackage(page);
    EXPECT_EQ(form.ProgressBar1->maximum(), 0) << "a busy indicator";
    EXPECT_EQ(form.CurLabel->text(), "6");
    EXPECT_EQ(form.TotalLabel->text(), "?");
    EXPECT_EQ(form.Label3D3->text(), "Total Packages:");
    form.SetTotalPackages(4);  // a known total ends the busy state
    form.SetCurrentPackage(2);
    EXPECT_EQ(form.ProgressBar1->maximum(), 4);
    EXPECT_EQ(form.ProgressBar1->value(), 2);
    EXPECT_EQ(form.TotalLabel->text(), "4");
    form.Close();
}

namespace {
QPalette darkPalette()
{
    QPalette p;
    for (auto [role, colour] : {std::pair{QPalette::Window, QColor(53, 53, 53)}, {QPalette::WindowText, QColor(235, 235, 235)},
                                {QPalette::Base, QColor(35, 35, 35)}, {QPalette::Text, QColor(235, 235, 235)},
                                {QPalette::Button, QColor(53, 53, 53)}, {QPalette::ButtonText, QColor(235, 235, 235)},
                                {QPalette::ToolTipBase, QColor(255, 255, 220)}, {QPalette::ToolTipText, QColor(0, 0, 0)}})
        p.setColor(role, colour);
    return p;
}

// WCAG's contrast of two colours: 1 (none) to 21.
double contrast(const QColor& a, const QColor& b)
{
    auto lum = [](const QColor& c) {
        auto ch = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
        return 0.2126 * ch(c.redF()) + 0.7152 * ch(c.greenF()) + 0.0722 * ch(c.blueF());
    };
    const double x = lum(a), y = lum(b);
    return (std::max(x, y) + 0.05) / (std::min(x, y) + 0.05);
}
}  // namespace

TEST(Themes, TextsAreReadableOnTheirGroundsInLightAndDarkThemes)
{
    const QPalette original = QApplication::palette();
    for (const QPalette& palette : {original, darkPalette()}) {
        QApplication::setPalette(palette);
        TestHome home;
        StartedWindows w;
        w.mainForm->show();
        const QPalette grid = w.fmfrm->ReportGrid->palette();
        EXPECT_GE(contrast(grid.color(QPalette::Base), grid.color(QPalette::Text)), 4.5) << "the report pane";
        TProgressForm& progress = *w.progressForm;
        progress.Show();
        progress.ShowStatus(false, "Connect...");
        const QColor ground = progress.palette().color(QPalette::Window);
        for (QLabel* value : {progress.CurLabel, progress.TotalLabel})
            EXPECT_GE(contrast(value->palette().color(QPalette::WindowText), ground), 4.5)
                << value->objectName().toStdString();
        const QPalette status = progress.StatusLabel->palette();
        EXPECT_GE(contrast(status.color(QPalette::WindowText), status.color(QPalette::Window)), 4.5) << "status";
        progress.ShowStatus(true, "Connect...Error");
        const QPalette error = progress.StatusLabel->palette();
        EXPECT_EQ(error.color(QPalette::Window), QColor(Qt::red));
        EXPECT_GE(contrast(error.color(QPalette::WindowText), error.color(QPalette::Window)), 3.0) << "error";
        progress.OKBtn->click();
    }
    QApplication::setPalette(original);
}

namespace {
// The largest contrast between a more than half opaque pixel of the icon and the ground.
double iconContrast(const QIcon& icon, qreal scale, const QColor& ground)
{
    const QImage image = icon.pixmap(QSize(16, 16), scale).toImage().convertToFormat(QImage::Format_ARGB32);
    double best = 1.0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) > 128)
                best = std::max(best, contrast(image.pixelColor(x, y), ground));
    return best;
}
}  // namespace

TEST(Themes, IconsStandOutFromTheirGroundsWhenTheThemeTurnsDark)
{
    const QPalette original = QApplication::palette();
    TestHome home;
    StartedWindows w;
    const QList<QAbstractButton*> buttons{w.mainForm->CommBtn,   w.mainForm->TestBtn,   w.mainForm->TExitBtn,
                                          w.burnFrm->DeleteBtn,  w.burnFrm->FileBtn,    w.burnFrm->FolderBtn,
                                          w.burnFrm->CheckBtn,   w.burnFrm->UnarchivedBtn, w.uploadReportDlg->BitBtn1};
    for (const QPalette& palette : {darkPalette(), original}) {
        QApplication::setPalette(palette);
        for (QAbstractButton* b : buttons) {
            ASSERT_FALSE(b->icon().isNull()) << b->objectName().toStdString();
            const QPalette own = b->palette();
            for (const qreal scale : {1.0, 2.0})
                for (const QPalette::ColorRole ground : {QPalette::Button, QPalette::Window})
                    EXPECT_GE(iconContrast(b->icon(), scale, own.color(ground)), 3.0)
                        << b->objectName().toStdString() << " at " << scale << "x on " << int(ground);
        }
    }
    QApplication::setPalette(original);
}

namespace {

// An icon with a picture of each side, drawn by `paint` (the image starts transparent).
template <typename Paint>
QIcon iconOfSides(std::initializer_list<int> sides, Paint paint)
{
    QIcon icon;
    for (const int side : sides) {
        QImage picture(side, side, QImage::Format_ARGB32);
        picture.fill(Qt::transparent);
        paint(picture, side);
        icon.addPixmap(QPixmap::fromImage(picture));
    }
    return icon;
}

QImage shownAt(const QIcon& icon, qreal scale)
{
    return icon.pixmap(QSize(32, 32), scale).toImage().convertToFormat(QImage::Format_ARGB32);
}

}  // namespace

// A picture that needs a rim keeps its whole self over the rim at every scale (the rim only
// shows around it); and a picture faint at its small sizes, with one dark pixel at its large
// one, gets the rim at every size, so it looks the same at 1x and 2x.
TEST(Themes, ARimmedIconKeepsItsPictureAndItsRimAtEveryScale)
{
    const QColor faint(60, 60, 60);  // too little contrast on the dark ground
    const QIcon filled = ContrastingIcon(
        iconOfSides({16, 32, 64}, [&](QImage& p, int) { p.fill(faint); }), darkPalette());
    const QPalette light = QApplication::palette();
    const QColor paler = light.color(QPalette::Window).darker(105);
    const QIcon centred = ContrastingIcon(iconOfSides({16, 22, 32, 44, 64}, [&](QImage& p, int side) {
                                              for (int y = side / 4; y < side * 3 / 4; ++y)
                                                  for (int x = side / 4; x < side * 3 / 4; ++x)
                                                      p.setPixelColor(x, y, paler);
                                              if (side == 64)
                                                  p.setPixelColor(side / 2, side / 2, Qt::black);
                                          }),
                                          light);
    const QRgb rim = light.color(QPalette::ButtonText).rgba();
    for (const qreal scale : {1.0, 2.0}) {
        SCOPED_TRACE(scale);
        const QImage whole = shownAt(filled, scale);
        ASSERT_EQ(whole.width(), qRound(32 * scale));
        for (const QPoint at : {QPoint(whole.width() / 2, whole.height() / 2),
                                QPoint(whole.width() - 1, whole.height() - 1), QPoint(whole.width() - 1, 0)})
            EXPECT_EQ(whole.pixel(at), faint.rgba()) << "pixel " << at.x() << "," << at.y();
        const QImage rimmed = shownAt(centred, scale);
        const int side = rimmed.width();
        EXPECT_EQ(rimmed.pixel(side / 4 - 1, side / 2), rim) << "left of the picture";
        EXPECT_EQ(rimmed.pixel(side / 2, side / 4 - 1), rim) << "above the picture";
    }
}

TEST(Feedback, FileDialogsStartInTheReportFolderAndSaveAsSuggestsTheReport)
{
    TestHome home;
    StartedWindows w;
    w.mainForm->show();
    ASSERT_TRUE(writeTestFile(Settings().ReportDir + "shown_1_2.txt", "line\r\n"));
    w.fmfrm->ChooseOpenFile = [] { return Settings().ReportDir + "shown_1_2.txt"; };
    w.fmfrm->OpenBtnClick();
    EXPECT_EQ(w.fmfrm->ReportName(), "shown_1_2.txt");
    EXPECT_TRUE(w.mainForm->windowTitle().contains("shown_1_2.txt")) << w.mainForm->windowTitle().toStdString();

    // The program's own save chooser: look at the dialog it opens, then close it.
    StartedWindows fresh;
    fresh.fmfrm->ChooseOpenFile = [] { return Settings().ReportDir + "shown_1_2.txt"; };
    fresh.fmfrm->OpenBtnClick();
    QString directory, suggested;
    QTimer::singleShot(0, [&] {
        directory = fresh.fmfrm->dlgSave1->directory().absolutePath();
        suggested = fresh.fmfrm->dlgSave1->selectedFiles().value(0);
        fresh.fmfrm->dlgSave1->reject();
    });
    fresh.fmfrm->Button2Click();
    EXPECT_EQ(directory + '/', QDir(Settings().ReportDir).absolutePath() + '/');
    EXPECT_TRUE(suggested.endsWith("/shown_1_2.txt")) << suggested.toStdString();
}

// Qt's own file dialog, its list of places narrowed in an earlier session and with a
// large font: every place has the room its whole name needs (no "Com..." for Computer).
TEST(WindowPlace, FileDialogListsItsPlacesWithWholeNames)
{
    FitFileDialogSidebars();
    const QFont original = QApplication::font();
    QFont large = original;
    large.setPointSize(16);
    QApplication::setFont(large);
    QFileDialog dialog(nullptr, "Open", QDir::tempPath());
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.resize(626, 437);
    // As Qt brings back a list of places narrowed in an earlier session.
    auto* split = dialog.findChild<QSplitter*>("splitter");
    ASSERT_NE(split, nullptr);
    split->setSizes({40, 560});
    dialog.show();
    QApplication::processEvents();
    auto* places = dialog.findChild<QListView*>("sidebar");
    ASSERT_NE(places, nullptr);
    ASSERT_GT(places->model()->rowCount(), 0);
    for (int row = 0; row < places->model()->rowCount(); ++row) {
        const QModelIndex index = places->model()->index(row, 0);
        const int needed = places->sizeHintForIndex(index).width();
        EXPECT_LE(needed, places->viewport()->width()) << index.data().toString().toStdString();
    }
    dialog.hide();
    QApplication::setFont(original);
}

TEST(Feedback, TitleMarksDemoModeAndStatusBarSaysWhatHappened)
{
    TestHome home;
    texts::ResetToDefaults();
    StartedWindows w;
    w.mainForm->setDemoMode(true);
    w.mainForm->show();
    EXPECT_EQ(w.mainForm->windowTitle(), "VOBREL FM [demo]");
    w.fmfrm->ChooseSaveFile = [] { return Settings().ReportDir + "copy.txt"; };
    w.fmfrm->Button2Click();
    EXPECT_EQ(w.mainForm->StatusBar1->currentMessage(),
              "Report saved as " + QDir::toNativeSeparators(Settings().ReportDir + "copy.txt"));
}

TEST(QtCatalogue, StandardButtonsSpeakTheLanguageInUse)
{
    ASSERT_TRUE(LoadQtCatalogue("pl")) << "qt6-translations-l10n is missing";
    {
        QMessageBox box(QMessageBox::Information, "t", "x", QMessageBox::Ok | QMessageBox::Cancel);
        EXPECT_EQ(box.button(QMessageBox::Cancel)->text(), "Anuluj");
    }
    EXPECT_FALSE(LoadQtCatalogue("en"));
    QMessageBox box(QMessageBox::Information, "t", "x", QMessageBox::Ok | QMessageBox::Cancel);
    EXPECT_EQ(box.button(QMessageBox::Cancel)->text(), "Cancel");
}

TEST(WindowPlace, NarrowReportWindowPutsItsButtonsInTwoRowsUncut)
{
    TestHome home;
    StartedWindows w;
    w.mainForm->show();
    const int oneRow = w.fmfrm->OneRowWidth();
    for (int width : {oneRow + 20, oneRow - 40}) {
        w.mainForm->resize(width + (w.mainForm->width() - w.fmfrm->width()), w.mainForm->height());
        QApplication::processEvents();
        EXPECT_EQ(w.fmfrm->ButtonRows(), w.fmfrm->width() >= oneRow ? 1 : 2) << width;
        for (QPushButton* b : w.fmfrm->pnl1->findChildren<QPushButton*>()) {
            EXPECT_GE(b->width(), b->minimumSizeHint().width()) << b->objectName().toStdString() << " is cut";
            EXPECT_TRUE(w.fmfrm->pnl1->rect().contains(b->geometry())) << b->objectName().toStdString();
        }
    }
    EXPECT_EQ(w.fmfrm->ButtonRows(), 2);
}
