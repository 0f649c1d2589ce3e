#include "ui/upload_report_dialog.h"

#include "core/settings.h"
#include "core/texts.h"

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
struct RangePageNames {
    const char* fromLabel;
    const char* toLabel;
    const char* fromEdit;
    const char* toEdit;
    const char* endCheck;
};
struct RangePageTexts {
    QString fromLabel, toLabel, fromValue, toValue;
};
struct RangePageGeometry {
    int editLeft, editWidth, checkLeft, checkWidth;
};
struct RangePageWidgets {
    QLabel*& fromLabel;
    QLabel*& toLabel;
    QLineEdit*& fromEdit;
    QLineEdit*& toEdit;
    QCheckBox*& endCheck;
};

// One page of the notebook: FROM and TO with their edits, and the hidden "End" box.
void makeRangePage(QWidget* page, const RangePageNames& names, const RangePageTexts& texts, int maxLength,
                   const RangePageGeometry& g, RangePageWidgets w)
{
    w.fromLabel = makeLabel(page, names.fromLabel, texts.fromLabel, {8, 12});
    w.toLabel = makeLabel(page, names.toLabel, texts.toLabel, {8, 40});
    w.fromEdit = makeEdit(page, names.fromEdit, texts.fromValue, maxLength, {g.editLeft, 8, g.editWidth, 21});
    w.toEdit = makeEdit(page, names.toEdit, texts.toValue, maxLength, {g.editLeft, 36, g.editWidth, 21});
    w.endCheck = new QCheckBox(QStringLiteral("End"), page);
    w.endCheck->setObjectName(QString::fromLatin1(names.endCheck));
    w.endCheck->setGeometry(g.checkLeft, 40, g.checkWidth, 17);
    w.endCheck->hide();
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
    makeRangePage(zPage, {"Label1", "Label2", "ZCountFromEdit", "ZCountToEdit", "ZCountEndCheck"},
                  {QStringLiteral("FROM:"), QStringLiteral("TO:"), QStringLiteral("1"), QStringLiteral("1")}, 4,
                  {48, 57, 120, 49}, {Label1, Label2, ZCountFromEdit, ZCountToEdit, ZCountEndCheck});
    auto* datePage = new QWidget;
    datePage->setObjectName(QStringLiteral("Date"));
    makeRangePage(datePage, {"Label3", "Label4", "DateFromEdit", "DateToEdit", "DateEndCheck"},
                  {QStringLiteral("FROM(DDMMYY):"), QStringLiteral("TO(DDMMYY):"), QStringLiteral("010196"),
                   QStringLiteral("311295")},
                  6, {100, 67, 172, 41}, {Label3, Label4, DateFromEdit, DateToEdit, DateEndCheck});
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
    const QString tooLong = ReportFileNameProblem(Settings().ReportDir, Result.ReportFileName);
    if (!tooLong.isEmpty()) {
        QMessageBox::warning(this, texts::BurnFrm(8), tooLong, QMessageBox::Ok);
        edt1->setFocus();
        return;
    }
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
