#include "ui/progress_form.h"

#include "ui/label3d.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFrame>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>

namespace {
QFrame* makeBevel(QWidget* parent, const char* name, QFrame::Shadow shadow, const QRect& geometry)
{
    auto* bevel = new QFrame(parent);
    bevel->setObjectName(QString::fromLatin1(name));
    bevel->setFrameStyle(QFrame::Panel | shadow);
    bevel->setGeometry(geometry);
    return bevel;
}

QLabel* makeValueLabel(QWidget* parent, const QString& text, const QPoint& at, int pixels)
{
    auto* label = new QLabel(text, parent);
    QFont font(QStringLiteral("Times New Roman"));
    font.setPixelSize(pixels);
    label->setFont(font);
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, QColor(0, 0, 128));
    label->setPalette(pal);
    label->move(at);
    label->resize(230, pixels + 4);
    return label;
}
}  // namespace

TProgressForm::TProgressForm(QWidget* mainWindow, std::function<void()> abort)
    : QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      mainWindow_(mainWindow), abort_(std::move(abort))
{
    setObjectName(QStringLiteral("ProgressForm"));
    setWindowTitle(QStringLiteral("000000000"));
    setModal(false);
    setFixedSize(353, 210);

    Bevel1 = makeBevel(this, "Bevel1", QFrame::Raised, QRect(5, 8, 344, 153));
    Bevel2 = makeBevel(this, "Bevel2", QFrame::Sunken, QRect(24, 24, 304, 25));
    Bevel3 = makeBevel(this, "Bevel3", QFrame::Sunken, QRect(24, 56, 304, 25));
    Bevel4 = makeBevel(this, "Bevel4", QFrame::Sunken, QRect(24, 88, 304, 25));

    QFont captionFont(QStringLiteral("Times New Roman"));
    captionFont.setPixelSize(15);
    Label3D1 = new TLabel3D(QStringLiteral("Status:"), this);
    Label3D2 = new TLabel3D(QStringLiteral("Current package:"), this);
    Label3D3 = new TLabel3D(QStringLiteral("Total Packages:"), this);
    const QPoint captionAt[] = {{32, 28}, {32, 60}, {32, 92}};
    TLabel3D* captions[] = {Label3D1, Label3D2, Label3D3};
    for (int i = 0; i < 3; ++i) {
        captions[i]->setFont(captionFont);
        captions[i]->move(captionAt[i]);
        captions[i]->resize(130, 19);
    }
    Label3D1->setObjectName(QStringLiteral("Label3D1"));
    Label3D2->setObjectName(QStringLiteral("Label3D2"));
    Label3D3->setObjectName(QStringLiteral("Label3D3"));

    StatusLabel = makeValueLabel(this, QStringLiteral("StatusLabel"), {88, 28}, 15);
    StatusLabel->setObjectName(QStringLiteral("StatusLabel"));
    StatusLabel->setAutoFillBackground(true);
    CurLabel = makeValueLabel(this, QStringLiteral("123"), {168, 60}, 15);
    CurLabel->setObjectName(QStringLiteral("CurLabel"));
    TotalLabel = makeValueLabel(this, QStringLiteral("456"), {160, 92}, 15);
    TotalLabel->setObjectName(QStringLiteral("TotalLabel"));

    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setGeometry(24, 120, 305, 15);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setValue(50);

    OKBtn = new QPushButton(QStringLiteral("&OK"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setGeometry(58, 172, 75, 28);
    OKBtn->setDefault(true);
    OKBtn->hide();
    CancelBtn = new QPushButton(QStringLiteral("Cancel"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    CancelBtn->setGeometry(126, 172, 75, 28);
    connect(OKBtn, &QPushButton::clicked, this, &TProgressForm::OKBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &TProgressForm::CancelBtnClick);
}

void TProgressForm::Show()
{
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    show();
    FormShow();  // the state is set even where no window system delivers a show event
}

void TProgressForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
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
    close();
}

void TProgressForm::closeEvent(QCloseEvent* event)
{
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
    StatusLabel->setPalette(pal);
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
        OKBtn->move(CancelBtn->x(), OKBtn->y());
        CancelBtn->hide();
        OKBtn->show();
        OKBtn->setFocus();
        progressState_ = kProgressErrorShown;
    } else {
        setStatusBackground(palette().color(QPalette::Button));
        OKBtn->hide();
        CancelBtn->show();
        StatusLabel->setText(text);
        setWindowTitle(text);
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
    close();
    progressState_ = kProgressClosed;
}

void TProgressForm::CancelBtnClick()
{
    if (abort_)
        abort_();
    close();
    progressState_ = kProgressClosed;
}
