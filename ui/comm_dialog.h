#pragma once
// TCommDlg: chooses the serial port and the line speed; the choice is stored in
// SYSTEM.CFG [Comm].

#include <QDialog>
#include <QList>

class QButtonGroup;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;

class TCommDlg : public QDialog {
    Q_OBJECT
public:
    explicit TCommDlg(QWidget* parent = nullptr);

    // Index of the checked speed, -1 when none.
    int BaudRateIndex() const;
    void setBaudRateIndex(int index);
    // Refreshes the hints that show which device each port name means.
    void UpdatePortHints();

    QGroupBox* BaudRateRG;
    QButtonGroup* BaudRateButtons;
    QGroupBox* ParityRG;
    QGroupBox* StopBitsRG;
    QComboBox* PortCB;
    QLabel* PortHints;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;
};

// Reads [Comm], shows the dialog, stores the choice on OK. Returns true on OK.
bool EditCommSettings(TCommDlg& dialog);
