#include "reports/upload_report_dialog.h"

#include "app/settings.h"
#include "app/texts.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QStyle>

namespace {
QLineEdit* makeEdit(QWidget* parent, const char* name, const QString& text, int maxLength,
                    const QRect& geometry)
{
    auto* edit = new QLineEdit(text, parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setMaxLength(maxLength);
    edit->setGeometry(geometry);
    return edit;
}

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, const QPoint& at)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->move(at);
    label->adjustSize();
    return label;
}
}  // namespace

TUploadReportDlg::TUploadReportDlg(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("UploadReportDlg"));
    setWindowTitle(QStringLiteral("Upload report"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(330, 204);

    RangeTypeRG = new QGroupBox(this);
    RangeTypeRG->setObjectName(QStringLiteral("RangeTypeRG"));
    RangeTypeRG->setGeometry(8, 0, 217, 33);
    RangeTypeButtons = new QButtonGroup(this);
    auto* zRadio = new QRadioButton(QStringLiteral("Z range"), RangeTypeRG);
    auto* dateRadio = new QRadioButton(QStringLiteral("Date range"), RangeTypeRG);
    auto* radios = new QHBoxLayout(RangeTypeRG);
    radios->setContentsMargins(6, 2, 6, 2);
    radios->addWidget(zRadio);
    radios->addWidget(dateRadio);
    RangeTypeButtons->addButton(zRadio, 0);
    RangeTypeButtons->addButton(dateRadio, 1);
    connect(RangeTypeButtons, &QButtonGroup::idClicked, this, [this] { RangeTypeRGClick(); });

    FileName = makeLabel(this, "FileName", QStringLiteral("File Name"), {22, 45});
    FileName->setAlignment(Qt::AlignRight);
    edt1 = makeEdit(this, "edt1", QString(), 32767, {73, 42, 114, 21});

    Notebook1 = new QStackedWidget(this);
    Notebook1->setObjectName(QStringLiteral("Notebook1"));
    Notebook1->setGeometry(8, 72, 217, 65);
    auto* zPage = new QWidget;
    zPage->setObjectName(QStringLiteral("ZCount"));
    Label1 = makeLabel(zPage, "Label1", QStringLiteral("FROM:"), {8, 12});
    Label2 = makeLabel(zPage, "Label2", QStringLiteral("TO:"), {8, 40});
    ZCountFromEdit = makeEdit(zPage, "ZCountFromEdit", QStringLiteral("1"), 4, {48, 8, 57, 21});
    ZCountToEdit = makeEdit(zPage, "ZCountToEdit", QStringLiteral("1"), 4, {48, 36, 57, 21});
    ZCountEndCheck = new QCheckBox(QStringLiteral("End"), zPage);
    ZCountEndCheck->setObjectName(QStringLiteral("ZCountEndCheck"));
    ZCountEndCheck->setGeometry(120, 40, 49, 17);
    ZCountEndCheck->hide();
    auto* datePage = new QWidget;
    datePage->setObjectName(QStringLiteral("Date"));
    Label3 = makeLabel(datePage, "Label3", QStringLiteral("FROM(DDMMYY):"), {8, 12});
    Label4 = makeLabel(datePage, "Label4", QStringLiteral("TO(DDMMYY):"), {8, 40});
    DateFromEdit = makeEdit(datePage, "DateFromEdit", QStringLiteral("010196"), 6, {100, 8, 67, 21});
    DateToEdit = makeEdit(datePage, "DateToEdit", QStringLiteral("311295"), 6, {100, 36, 67, 21});
    DateEndCheck = new QCheckBox(QStringLiteral("End"), datePage);
    DateEndCheck->setObjectName(QStringLiteral("DateEndCheck"));
    DateEndCheck->setGeometry(172, 40, 41, 17);
    DateEndCheck->hide();
    Notebook1->addWidget(zPage);
    Notebook1->addWidget(datePage);
    for (QLineEdit* e : {ZCountFromEdit, ZCountToEdit, DateFromEdit, DateToEdit})
        e->installEventFilter(this);

    BitBtn1 = new QPushButton(style()->standardIcon(QStyle::SP_DialogApplyButton),
                              QStringLiteral("&Ignore"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setGeometry(32, 155, 75, 28);
    BitBtn1->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, &TUploadReportDlg::BitBtn1Click);
    BitBtn2 = new QPushButton(QStringLiteral("Cancel"), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    BitBtn2->setGeometry(128, 155, 75, 28);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);

    setTabOrder(edt1, BitBtn1);
    setTabOrder(BitBtn1, BitBtn2);
    setTabOrder(BitBtn2, zRadio);
    setTabOrder(zRadio, ZCountFromEdit);

    // FormCreate
    zRadio->setChecked(true);
    Notebook1->setCurrentIndex(0);
}

int TUploadReportDlg::RangeTypeIndex() const
{
    return RangeTypeButtons->checkedId();
}

void TUploadReportDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    edt1->setFocus();
}

bool TUploadReportDlg::eventFilter(QObject* watched, QEvent* event)
{
    // The range edits take digits only; control characters (Backspace, clipboard keys) pass.
    if (event->type() == QEvent::KeyPress) {
        const QString text = static_cast<QKeyEvent*>(event)->text();
        if (!text.isEmpty() && text[0].unicode() >= 32 && !(text[0] >= '0' && text[0] <= '9'))
            return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TUploadReportDlg::RangeTypeRGClick()
{
    Notebook1->setCurrentIndex(std::max(RangeTypeIndex(), 0));
}

void TUploadReportDlg::BitBtn1Click()
{
    const QString name = TrimReportName(edt1->text());
    if (name.isEmpty()) {
        QMessageBox::warning(this, texts::BurnFrm(8), FileName->text() + QLatin1Char(' ') + texts::BurnFrm(10),
                             QMessageBox::Ok);
        edt1->setFocus();
        return;
    }
    const QString problem = ReportNameProblem(name);
    if (!problem.isEmpty()) {
        QMessageBox::warning(this, texts::BurnFrm(8), problem, QMessageBox::Ok);
        edt1->setFocus();
        return;
    }
    Result.ReportFileName = RangeTypeIndex() == 1
                                ? BuildReportFileName(name, DateFromEdit->text(), DateToEdit->text())
                                : BuildReportFileName(name, ZCountFromEdit->text(), ZCountToEdit->text());
    const QString fullPath = Settings().ReportDir + Result.ReportFileName;
    if (QFile::exists(fullPath) &&
        QMessageBox::information(this, texts::BurnFrm(8), texts::BurnFrm(9),
                                 QMessageBox::Ok | QMessageBox::Cancel) != QMessageBox::Ok)
        return;
    accept();
}

bool TUploadReportDlg::Execute()
{
    if (exec() != QDialog::Accepted)
        return false;
    Result.RangeType = RangeTypeIndex();
    Result.ZCountFrom = RangeValue(ZCountFromEdit->text());
    Result.ZCountTo = RangeValue(ZCountToEdit->text());
    Result.ZCountEnd = ZCountEndCheck->isChecked();
    Result.DateFrom = RangeValue(DateFromEdit->text());
    Result.DateTo = RangeValue(DateToEdit->text());
    Result.DateEnd = DateEndCheck->isChecked();
    return true;
}
