#include "ui/progress_form.h"

#include "ui/designed.h"
#include "ui/label3d.h"
#include "ui/window_layout.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScopedValueRollback>

namespace {
QFrame* makeBevel(QFrame::Shadow shadow, const QSize& designed)
{
    auto* bevel = new Designed<QFrame>(designed);
    bevel->setFrameStyle(QFrame::Panel | shadow);
    return bevel;
}

QFont timesFont(int pixels)
{
    QFont font(QStringLiteral("Times New Roman"));
    font.setStyleHint(QFont::Serif);
    font.setPixelSize(pixels);
    return font;
}

QLabel* makeValueLabel(const char* name, const QString& text)
{
    auto* label = new QLabel(text);
    label->setObjectName(QString::fromLatin1(name));
    label->setFont(timesFont(15));
    return label;
}

// One text row in its lowered box: the engraved caption from the box's left 8, the value
// from the designed left (valueLeft, in the box) or right after a wider caption.
QFrame* makeRow(const char* bevelName, TLabel3D* caption, int valueLeft, QLabel* value)
{
    QFrame* bevel = makeBevel(QFrame::Sunken, QSize(304, 25));
    bevel->setObjectName(QString::fromLatin1(bevelName));
    caption->setParent(bevel);
    caption->setFont(timesFont(15));
    caption->setMinimumWidth(valueLeft - 8);
    value->setParent(bevel);
    auto* row = new QHBoxLayout(bevel);
    row->setContentsMargins(8, 2, 8, 2);
    row->setSpacing(0);
    row->addWidget(caption);
    row->addWidget(value);
    row->addStretch();
    return bevel;
}
}  // namespace

TProgressForm::TProgressForm(QWidget* mainWindow, std::function<void()> abort)
    : QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      mainWindow_(mainWindow), abort_(std::move(abort))
{
    setObjectName(QStringLiteral("ProgressForm"));
    setWindowTitle(QStringLiteral("000000000"));
    setModal(false);

    Label3D1 = new TLabel3D(QStringLiteral("Status:"));
    Label3D1->setObjectName(QStringLiteral("Label3D1"));
    Label3D2 = new TLabel3D(QStringLiteral("Current package:"));
    Label3D2->setObjectName(QStringLiteral("Label3D2"));
    Label3D3 = new TLabel3D(QStringLiteral("Total Packages:"));
    Label3D3->setObjectName(QStringLiteral("Label3D3"));
    StatusLabel = makeValueLabel("StatusLabel", QStringLiteral("StatusLabel"));
    StatusLabel->setAutoFillBackground(true);
    CurLabel = makeValueLabel("CurLabel", QStringLiteral("123"));
    TotalLabel = makeValueLabel("TotalLabel", QStringLiteral("456"));

    // Designed layout: the raised frame at 5, 8 (344 x 153) holds three lowered boxes at
    // 24, 24 / 56 / 88 (304 x 25) and the bar at 24, 120 (305 x 15); the buttons stand at
    // 126, 172 (75 x 28). Boxes, frame and window grow when a text needs more room.
    Bevel1 = makeBevel(QFrame::Raised, QSize(344, 153));
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel2 = makeRow("Bevel2", Label3D1, 88 - 24, StatusLabel);
    Bevel3 = makeRow("Bevel3", Label3D2, 168 - 24, CurLabel);
    Bevel4 = makeRow("Bevel4", Label3D3, 160 - 24, TotalLabel);
    ProgressBar1 = new Designed<QProgressBar>(QSize(305, 15));
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setValue(50);
    auto* rows = new QVBoxLayout(Bevel1);
    rows->setContentsMargins(19, 16, 20, 26);
    rows->setSpacing(7);
    for (QWidget* w : {static_cast<QWidget*>(Bevel2), static_cast<QWidget*>(Bevel3), static_cast<QWidget*>(Bevel4),
                       static_cast<QWidget*>(ProgressBar1)})
        rows->addWidget(w);
    rows->addStretch();

    OKBtn = new Designed<QPushButton>(QSize(75, 28), QStringLiteral("&OK"));
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setDefault(true);
    OKBtn->hide();
    CancelBtn = new Designed<QPushButton>(QSize(75, 28), QStringLiteral("Cancel"));
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    CancelBtn->setAutoDefault(false);
    connect(OKBtn, &QPushButton::clicked, this, &TProgressForm::OKBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &TProgressForm::CancelBtnClick);
    // OK only ever shows in Cancel's place, so both share one cell.
    auto* buttons = new QGridLayout;
    buttons->setContentsMargins(126 - 5, 0, 0, 0);
    buttons->addWidget(OKBtn, 0, 0);
    buttons->addWidget(CancelBtn, 0, 0);
    buttons->setColumnStretch(1, 1);

    auto* content = new QVBoxLayout;
    content->setContentsMargins(5, 8, 4, 10);
    content->setSpacing(11);
    content->addWidget(Bevel1);
    content->addLayout(buttons);
    content->addStretch();
    SetDesignedLayout(this, content, {353, 210}, true);
    colourValues();
    setStatusBackground(palette().color(QPalette::Button));
}

void TProgressForm::Show()
{
    CentreOnScreen(this);
    show();
}

void TProgressForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Every show() runs the show steps; a window system re-showing the window (after a
    // minimise, say) does not restart the command's state.
    if (!event->spontaneous())
        FormShow();
}

void TProgressForm::FormShow()
{
    if (mainWindow_)
        mainWindow_->setEnabled(false);
    SetTotalPackages(0);
    SetCurrentPackage(0);
    progressState_ = kProgressWorking;
}

void TProgressForm::Close()
{
    closeByProgram();
}

void TProgressForm::closeByProgram()
{
    const QScopedValueRollback closing(closingByProgram_, true);
    close();
}

void TProgressForm::closeEvent(QCloseEvent* event)
{
    // Any other close (the window manager's close button, Alt+F4) ends the wait as the
    // button on show would: OK when an error is shown, Cancel while the command works.
    if (!closingByProgram_ && progressState_ != kProgressClosed) {
        if (progressState_ == kProgressWorking && abort_)
            abort_();
        progressState_ = kProgressClosed;
    }
    if (mainWindow_)
        mainWindow_->setEnabled(true);
    QDialog::closeEvent(event);
}

void TProgressForm::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        if (CancelBtn->isVisible())
            CancelBtnClick();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TProgressForm::setStatusBackground(const QColor& colour)
{
    QPalette pal = StatusLabel->palette();
    pal.setColor(QPalette::Window, colour);
    pal.setColor(QPalette::WindowText, ValueTextColour(colour));
    StatusLabel->setPalette(pal);
}

QColor ValueTextColour(const QColor& background)
{
    // Navy on a light ground; on a dark one (a dark theme, the red of an error) a light
    // blue or white that can be read there.
    if (background.lightness() >= 140)
        return QColor(0, 0, 128);
    return background.red() > 150 && background.green() < 100 ? QColor(Qt::white) : QColor(150, 190, 255);
}

void TProgressForm::colourValues()
{
    for (QLabel* label : {CurLabel, TotalLabel}) {
        QPalette pal = label->palette();
        pal.setColor(QPalette::WindowText, ValueTextColour(palette().color(QPalette::Window)));
        label->setPalette(pal);
    }
}

void TProgressForm::changeEvent(QEvent* event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::PaletteChange && !recolouring_) {
        const QScopedValueRollback guard(recolouring_, true);
        colourValues();
        setStatusBackground(progressState_ == kProgressErrorShown ? QColor(Qt::red) : palette().color(QPalette::Button));
    }
}

void TProgressForm::ShowStatus(bool isError, const QString& text)
{
    if (progressState_ == kProgressClosed)
        return;
    if (isError) {
        QApplication::beep();
        setStatusBackground(Qt::red);
        StatusLabel->setText(text);
        setWindowTitle(text);
        CancelBtn->hide();
        OKBtn->show();  // in Cancel's place
        OKBtn->setFocus();
        layout()->activate();
        progressState_ = kProgressErrorShown;
    } else {
        setStatusBackground(palette().color(QPalette::Button));
        OKBtn->hide();
        CancelBtn->show();
        StatusLabel->setText(text);
        setWindowTitle(text);
        layout()->activate();  // a longer text widens the window before it is painted
        StatusLabel->repaint();
        progressState_ = kProgressWorking;
    }
}

void TProgressForm::SetTotalPackages(int count)
{
    CurLabel->setText(QStringLiteral("0"));
    if (count > 0) {
        TotalLabel->setText(QString::number(count));
        ProgressBar1->setRange(0, count);
    } else {
        TotalLabel->setText(QStringLiteral("0"));
    }
    ProgressBar1->setValue(0);
}

void TProgressForm::SetTotalUnknown()
{
    CurLabel->setText(QStringLiteral("0"));
    TotalLabel->setText(QStringLiteral("?"));
    ProgressBar1->setRange(0, 0);  // busy
}

void TProgressForm::SetCurrentPackage(int number)
{
    CurLabel->setText(QString::number(number));
    // A value past the maximum leaves the bar full.
    ProgressBar1->setValue(std::clamp(number, ProgressBar1->minimum(), ProgressBar1->maximum()));
}

void TProgressForm::WaitForOperator()
{
    while (progressState_ != kProgressClosed)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void TProgressForm::OKBtnClick()
{
    closeByProgram();
    progressState_ = kProgressClosed;
}

void TProgressForm::CancelBtnClick()
{
    if (abort_)
        abort_();
    closeByProgram();
    progressState_ = kProgressClosed;
}
