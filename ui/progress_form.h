#pragma once
// TProgressForm: the small window in front of the main window during every exchange
// with the register: a status line, package counters and a bar. On an error the status
// turns red and OK waits for the operator; Cancel aborts the exchange under way.

#include "reports/progress_sink.h"

#include <QColor>
#include <QDialog>
#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;
class QFrame;
class TLabel3D;

// The value labels' text colour on a background: navy where it can be read, a light
// colour on dark grounds.
QColor ValueTextColour(const QColor& background);

class TProgressForm : public QDialog, public IProgressSink {
    Q_OBJECT
public:
    // abort: called by Cancel (the protocol component's AbortExchange).
    TProgressForm(QWidget* mainWindow, std::function<void()> abort);

    // IProgressSink
    void Show() override;
    void Close() override;
    void ShowStatus(bool isError, const QString& text) override;
    void SetTotalPackages(int count) override;
    void SetCurrentPackage(int number) override;
    // The bar becomes a busy indicator and the total shows "?" until a total is set.
    void SetTotalUnknown() override;
    void WaitForOperator() override;
    uint8_t ProgressState() const override { return progressState_; }

    void OKBtnClick();
    void CancelBtnClick();

    QFrame* Bevel1;
    QFrame* Bevel2;
    QFrame* Bevel3;
    QFrame* Bevel4;
    TLabel3D* Label3D1;
    TLabel3D* Label3D2;
    TLabel3D* Label3D3;
    QLabel* StatusLabel;
    QLabel* CurLabel;
    QLabel* TotalLabel;
    QProgressBar* ProgressBar1;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;  // Esc: Cancel while it is shown
    void changeEvent(QEvent* event) override;       // a new theme: the value colours again

private:
    void setStatusBackground(const QColor& colour);
    void colourValues();
    bool recolouring_ = false;
    void FormShow();
    // Closes the window as the program's own step (the caller's Close, OK, Cancel).
    void closeByProgram();

    QWidget* mainWindow_;
    std::function<void()> abort_;
    uint8_t progressState_ = kProgressWorking;
    bool closingByProgram_ = false;
};
