#pragma once
// TCommDlg: chooses the serial port and the line speed, stored in SYSTEM.CFG [Comm], and
// which device each port name COM1 to COM4 means, stored in [Ports].

#include <QDialog>
#include <QList>
#include <QString>

struct SerialDevice;

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
    // The device port name COMn (1 to 4) means while the dialog is open; empty: the default.
    QString PortDevice(int n) const;
    void setPortDevice(int n, const QString& device);
    // Offers these devices in DeviceCB.
    void setDeviceList(const QList<SerialDevice>& devices);
    // Shows the device of the port PortCB has chosen in DeviceCB.
    void ShowPortDevice();

    QGroupBox* BaudRateRG;
    QButtonGroup* BaudRateButtons;
    QGroupBox* ParityRG;
    QGroupBox* StopBitsRG;
    QComboBox* PortCB;
    QComboBox* DeviceCB;  // the device of the chosen port name, from the devices present
    QLabel* PortHints;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;

private:
    static constexpr int kMappedPorts = 4;
    QString portDevices_[kMappedPorts + 1];  // index 1 to 4; empty: not mapped
    int shownPort_ = -1;                     // the port whose device DeviceCB shows
};

// Reads [Comm], shows the dialog, stores the choice on OK. Returns true on OK.
bool EditCommSettings(TCommDlg& dialog);
