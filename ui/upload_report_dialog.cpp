#include "ui/upload_report_dialog.h"

#include "core/settings.h"
#include "core/texts.h"
#include "ui/designed.h"
#include "ui/palette_icon.h"
#include "ui/window_layout.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QStyleOptionFrame>
#include <QVBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QStyle>
#include <QValidator>
#include <algorithm>

namespace {
// A range edit holds up to maxLength digits, whatever way text reaches it: typed keys
// (Delete and Backspace included), pasted or dropped text. Other characters are dropped;
// digits past the limit are dropped from what was just inserted, before the cursor.
class RangeDigitsValidator : public QValidator {
public:
    RangeDigitsValidator(int maxLength, QObject* parent) : QValidator(parent), maxLength_(maxLength) {}
    State validate(QString& input, int& pos) const override
    {
        QString digits = RangeDigits(input.left(pos));
        int cursor = static_cast<int>(digits.size());
        digits += RangeDigits(input.mid(pos));
        const int excess = static_cast<int>(digits.size()) - maxLength_;
        if (excess > 0) {
            const int from = std::max(cursor - excess, 0);
            digits.remove(from, std::min(excess, cursor));
            cursor = from;
            digits.truncate(maxLength_);
        }
        input = digits;
        pos = cursor;
        return Acceptable;
    }

private:
    int maxLength_;
};

// A single-line edit of a designed size that grows only when its widest expected text
// (the range edits' full count of digits) needs more room.
class DesignedEdit : public QLineEdit {
public:
    DesignedEdit(const QSize& designed, const QString& widestText, QWidget* parent)
        : QLineEdit(parent), designed_(designed), widestText_(widestText)
    {
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    }
    QSize sizeHint() const override
    {
        QStyleOptionFrame opt;
        initStyleOption(&opt);
        const QMargins tm = textMargins();
        constexpr int kInnerMargins = 2 * 2 + 1;  // the edit's own margins and the cursor
        const QSize text(fontMetrics().horizontalAdvance(widestText_) + kInnerMargins + tm.left() + tm.right(),
                         QLineEdit::sizeHint().height());
        const QSize needed = style()->sizeFromContents(QStyle::CT_LineEdit, &opt, text, this);
        return QSize(std::max(needed.width(), designed_.width()), std::max(text.height(), designed_.height()));
    }
    QSize minimumSizeHint() const override { return sizeHint(); }

private:
    QSize designed_;
    QString widestText_;
};

QLineEdit* makeEdit(QWidget* parent, const char* name, const QString& text, int width, const QString& widest)
{
    auto* edit = new DesignedEdit(QSize(width, 21), widest, parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setText(text);
    return edit;
}

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
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
    int editLeft, editWidth, checkWidth;
};
struct RangePageWidgets {
    QLabel*& fromLabel;
    QLabel*& toLabel;
    QLineEdit*& fromEdit;
    QLineEdit*& toEdit;
    QCheckBox*& endCheck;
};

// One page of the notebook: FROM and TO at the page's left 8 with their edits from the
// designed left (further right when a label needs it), and the hidden "End" box.
void makeRangePage(QWidget* page, const RangePageNames& names, const RangePageTexts& texts, int maxLength,
                   const RangePageGeometry& g, RangePageWidgets w)
{
    constexpr int kLabelGap = 4;
    w.fromLabel = makeLabel(page, names.fromLabel, texts.fromLabel);
    w.toLabel = makeLabel(page, names.toLabel, texts.toLabel);
    w.fromLabel->setMinimumWidth(g.editLeft - 8 - kLabelGap);
    const QString widest(maxLength, QLatin1Char('0'));
    w.fromEdit = makeEdit(page, names.fromEdit, texts.fromValue, g.editWidth, widest);
    w.toEdit = makeEdit(page, names.toEdit, texts.toValue, g.editWidth, widest);
    for (QLineEdit* edit : {w.fromEdit, w.toEdit})
        edit->setValidator(new RangeDigitsValidator(maxLength, edit));  // keeps the length too
    w.endCheck = new Designed<QCheckBox>(QSize(g.checkWidth, 17), QStringLiteral("End"), page);
    w.endCheck->setObjectName(QString::fromLatin1(names.endCheck));
    w.endCheck->hide();
    auto* grid = new QGridLayout(page);
    grid->setContentsMargins(8, 8, 4, 4);
    grid->setHorizontalSpacing(kLabelGap);
    grid->setVerticalSpacing(7);
    grid->addWidget(w.fromLabel, 0, 0);
    grid->addWidget(w.fromEdit, 0, 1);
    grid->addWidget(w.toLabel, 1, 0);
    grid->addWidget(w.toEdit, 1, 1);
    grid->addWidget(w.endCheck, 1, 2);
    grid->setColumnStretch(3, 1);
    grid->setRowStretch(2, 1);
}
}  // namespace

TUploadReportDlg::TUploadReportDlg(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("UploadReportDlg"));
    setWindowTitle(QStringLiteral("Upload report"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);

    RangeTypeRG = new Designed<QGroupBox>(QSize(217, 33), this);
    RangeTypeRG->setObjectName(QStringLiteral("RangeTypeRG"));
    RangeTypeButtons = new QButtonGroup(this);
    auto* zRadio = new QRadioButton(QStringLiteral("Z range"), RangeTypeRG);
    auto* dateRadio = new QRadioButton(QStringLiteral("Date range"), RangeTypeRG);
    auto* radios = new QHBoxLayout(RangeTypeRG);
    radios->setContentsMargins(6, 2, 6, 2);
    radios->addWidget(zRadio, 1);
    radios->addWidget(dateRadio, 1);
    RangeTypeButtons->addButton(zRadio, 0);
    RangeTypeButtons->addButton(dateRadio, 1);
    connect(RangeTypeButtons, &QButtonGroup::idClicked, this, [this] { RangeTypeRGClick(); });

    FileName = makeLabel(this, "FileName", QStringLiteral("File Name"));
    FileName->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    FileName->setMinimumWidth(45);
    edt1 = makeEdit(this, "edt1", QString(), 114, QString());

    Notebook1 = new Designed<QStackedWidget>(QSize(217, 65), this);
    Notebook1->setObjectName(QStringLiteral("Notebook1"));
    auto* zPage = new QWidget;
    zPage->setObjectName(QStringLiteral("ZCount"));
    makeRangePage(zPage, {"Label1", "Label2", "ZCountFromEdit", "ZCountToEdit", "ZCountEndCheck"},
                  {QStringLiteral("FROM:"), QStringLiteral("TO:"), QStringLiteral("1"), QStringLiteral("1")}, 4,
                  {48, 57, 49}, {Label1, Label2, ZCountFromEdit, ZCountToEdit, ZCountEndCheck});
    auto* datePage = new QWidget;
    datePage->setObjectName(QStringLiteral("Date"));
    makeRangePage(datePage, {"Label3", "Label4", "DateFromEdit", "DateToEdit", "DateEndCheck"},
                  {QStringLiteral("FROM(DDMMYY):"), QStringLiteral("TO(DDMMYY):"), QStringLiteral("010196"),
                   QStringLiteral("311295")},
                  6, {100, 67, 41}, {Label3, Label4, DateFromEdit, DateToEdit, DateEndCheck});
    Notebook1->addWidget(zPage);
    Notebook1->addWidget(datePage);

    BitBtn1 = new Designed<QPushButton>(QSize(75, 28), QStringLiteral("&Ignore"), this);
    SetPaletteIcon(BitBtn1, style()->standardIcon(QStyle::SP_DialogApplyButton));
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, &TUploadReportDlg::BitBtn1Click);
    BitBtn2 = new Designed<QPushButton>(QSize(75, 28), QStringLiteral("Cancel"), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    BitBtn2->setAutoDefault(false);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);

    // Designed places: the radio group at 8, 0; the name row at 42 (label right-aligned up
    // to the edit at 73); the notebook at 8, 72; the buttons at 32 and 128 on row 155.
    auto* nameRow = new QHBoxLayout;
    nameRow->setContentsMargins(22 - 8, 0, 0, 0);
    nameRow->setSpacing(6);
    nameRow->addWidget(FileName);
    nameRow->addWidget(edt1);
    nameRow->addStretch();
    auto* buttonRow = new QHBoxLayout;
    buttonRow->setContentsMargins(32 - 8, 0, 0, 0);
    buttonRow->setSpacing(128 - 32 - 75);
    buttonRow->addWidget(BitBtn1);
    buttonRow->addWidget(BitBtn2);
    buttonRow->addStretch();
    auto* content = new QVBoxLayout;
    content->setContentsMargins(8, 0, 8, 21);
    content->setSpacing(9);
    content->addWidget(RangeTypeRG, 0, Qt::AlignLeft);
    content->addLayout(nameRow);
    content->addWidget(Notebook1, 0, Qt::AlignLeft);
    content->addSpacing(18 - 9);
    content->addLayout(buttonRow);
    content->addStretch();
    SetDesignedLayout(this, content, {330, 204}, true);

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
