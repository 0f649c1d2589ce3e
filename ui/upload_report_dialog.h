#pragma once
// TUploadReportDlg: asks for a Z range or a date range and a base name for the report
// file, builds the file name, asks before an existing report would be replaced, and
// keeps everything for the next run.

#include "reports/report_range.h"

#include <QDialog>

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QStackedWidget;

class TUploadReportDlg : public QDialog {
    Q_OBJECT
public:
    explicit TUploadReportDlg(QWidget* parent = nullptr);

    // Shows the dialog modally; true when accepted, with the result fields filled.
    bool Execute();
    TReportRange Result;  // the result fields, kept between runs

    void RangeTypeRGClick();
    void BitBtn1Click();
    int RangeTypeIndex() const;

    QGroupBox* RangeTypeRG;
    QButtonGroup* RangeTypeButtons;
    QLabel* FileName;
    QLineEdit* edt1;
    QStackedWidget* Notebook1;
    QLabel* Label1;
    QLabel* Label2;
    QLineEdit* ZCountFromEdit;
    QLineEdit* ZCountToEdit;
    QCheckBox* ZCountEndCheck;
    QLabel* Label3;
    QLabel* Label4;
    QLineEdit* DateFromEdit;
    QLineEdit* DateToEdit;
    QCheckBox* DateEndCheck;
    QPushButton* BitBtn1;
    QPushButton* BitBtn2;

protected:
    void showEvent(QShowEvent* event) override;
};
