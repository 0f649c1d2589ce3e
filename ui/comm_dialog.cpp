#include "ui/comm_dialog.h"

#include "core/settings.h"
#include "core/base/device_access.h"
#include "link/port_names.h"
#include "ui/window_layout.h"
#include "link/serial_devices.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>

namespace {
QGroupBox* makeRadioGroup(QWidget* parent, const QString& title, const QStringList& items,
                          int columns, QButtonGroup* group)
{
    auto* box = new QGroupBox(title, parent);
    auto* grid = new QGridLayout(box);
    const int rows = (static_cast<int>(items.size()) + columns - 1) / columns;
    for (int i = 0; i < items.size(); ++i) {
        auto* radio = new QRadioButton(items[i], box);
        grid->addWidget(radio, i % rows, i / rows);
        if (group)
            group->addButton(radio, i);
        else if (i == 0)
            radio->setChecked(true);
    }
    return box;
}
}  // namespace

TCommDlg::TCommDlg(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("CommDlg"));
    setWindowTitle(QStringLiteral("Communication setting"));
    // A fixed dialog border: no resizing, no maximise.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);

    BaudRateButtons = new QButtonGroup(this);
    BaudRateButtons->setExclusive(true);
    BaudRateRG = makeRadioGroup(this, QStringLiteral("&Baud rate"),
                                {QStringLiteral("9600"), QStringLiteral("19200"),
                                 QStringLiteral("38400"), QStringLiteral("57600"),
                                 QStringLiteral("115200")},
                                2, BaudRateButtons);
    BaudRateRG->setObjectName(QStringLiteral("BaudRateRG"));
    ParityRG = makeRadioGroup(this, QStringLiteral("&Parity"),
                              {QStringLiteral("None"), QStringLiteral("Odd"), QStringLiteral("Even"),
                               QStringLiteral("Mark"), QStringLiteral("Space")},
                              1, nullptr);
    ParityRG->setObjectName(QStringLiteral("ParityRG"));
    ParityRG->setEnabled(false);
    StopBitsRG = makeRadioGroup(this, QStringLiteral("&StopBits"),
                                {QStringLiteral("1"), QStringLiteral("1.5"), QStringLiteral("2")}, 3,
                                nullptr);
    StopBitsRG->setObjectName(QStringLiteral("StopBitsRG"));
    StopBitsRG->setEnabled(false);

    PortCB = new QComboBox(this);
    PortCB->setObjectName(QStringLiteral("PortCB"));
    PortCB->setEditable(false);
    PortCB->addItems({QStringLiteral("None"), QStringLiteral("COM1"), QStringLiteral("COM2"),
                      QStringLiteral("COM3"), QStringLiteral("COM4")});
    DeviceCB = new QComboBox(this);
    DeviceCB->setObjectName(QStringLiteral("DeviceCB"));
    DeviceCB->setEditable(true);
    DeviceCB->setInsertPolicy(QComboBox::NoInsert);
    DeviceCB->setToolTip(QStringLiteral("The device this port name means"));
    connect(PortCB, &QComboBox::currentIndexChanged, this, &TCommDlg::ShowPortDevice);
    connect(DeviceCB, &QComboBox::editTextChanged, this, [this](const QString& text) {
        if (shownPort_ >= 1 && shownPort_ <= kMappedPorts)
            portDevices_[shownPort_] = text.trimmed();
        UpdatePortHints();
    });
    PortHints = new QLabel(this);
    PortHints->setObjectName(QStringLiteral("PortHints"));
    PortHints->setTextInteractionFlags(Qt::TextSelectableByMouse);
    PortHints->setWordWrap(true);  // an access hint is a sentence; it wraps instead of widening the dialog

    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton(QStringLiteral("Cancel"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);

    auto* layout = new QGridLayout;
    layout->setContentsMargins(8, 8, 8, 8);  // a nested layout has none of its own
    layout->addWidget(BaudRateRG, 0, 0);
    layout->addWidget(ParityRG, 0, 1, 2, 1);
    layout->addWidget(StopBitsRG, 1, 0);
    auto* portRow = new QHBoxLayout;
    portRow->addWidget(PortCB);
    portRow->addWidget(DeviceCB, 1);
    layout->addLayout(portRow, 2, 0, 1, 2);
    layout->addWidget(PortHints, 3, 0, 1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKBtn);
    buttons->addWidget(CancelBtn);
    layout->addLayout(buttons, 4, 0, 1, 2);
    SetDesignedLayout(this, layout, {317, 224}, true);
}

int TCommDlg::BaudRateIndex() const
{
    return BaudRateButtons->checkedId();
}

void TCommDlg::setBaudRateIndex(int index)
{
    // A radio group limits the index to its items: past the end selects the last one.
    const int count = static_cast<int>(BaudRateButtons->buttons().size());
    if (index < 0) {
        BaudRateButtons->setExclusive(false);
        for (QAbstractButton* b : BaudRateButtons->buttons())
            b->setChecked(false);
        BaudRateButtons->setExclusive(true);
        return;
    }
    BaudRateButtons->button(std::min(index, count - 1))->setChecked(true);
}

void TCommDlg::UpdatePortHints()
{
    QStringList lines;
    QString hint;
    for (int n = 1; n <= kMappedPorts; ++n) {
        const QString path = DeviceForPort(n, portDevices_[n]);
        const QFileInfo info(path);
        const std::string access = info.exists() ? devaccess::accessHint(path.toStdString()) : std::string();
        const QString state = !info.exists() ? QStringLiteral("not found")
                              : access.empty() ? QStringLiteral("present")
                                               : QStringLiteral("no access");
        lines << QStringLiteral("COM%1: %2 (%3)").arg(n).arg(path, state);
        if (n == PortCB->currentIndex())
            hint = QString::fromStdString(access);
    }
    if (!hint.isEmpty())
        lines << hint;
    PortHints->setText(lines.join('\n'));
}

QString TCommDlg::PortDevice(int n) const
{
    return n >= 1 && n <= kMappedPorts ? portDevices_[n] : QString();
}

void TCommDlg::setPortDevice(int n, const QString& device)
{
    if (n >= 1 && n <= kMappedPorts)
        portDevices_[n] = device;
}

void TCommDlg::setDeviceList(const QList<SerialDevice>& devices)
{
    const int shown = shownPort_;
    shownPort_ = -1;  // refilling the list must not change a port's device
    DeviceCB->clear();
    for (const SerialDevice& device : devices) {
        DeviceCB->addItem(device.path);
        if (!device.target.isEmpty())
            DeviceCB->setItemData(DeviceCB->count() - 1, device.target, Qt::ToolTipRole);
    }
    shownPort_ = shown;
    ShowPortDevice();
}

void TCommDlg::ShowPortDevice()
{
    shownPort_ = PortCB->currentIndex();
    const bool mapped = shownPort_ >= 1 && shownPort_ <= kMappedPorts;
    DeviceCB->setEnabled(mapped);
    DeviceCB->lineEdit()->setPlaceholderText(
        mapped ? DefaultPortDevice(shownPort_) + QStringLiteral(" (default)") : QString());
    DeviceCB->setEditText(mapped ? portDevices_[shownPort_] : QString());
    UpdatePortHints();
}

bool EditCommSettings(TCommDlg& dialog)
{
    ReadCommSettings();
    ProgramSettings& s = Settings();
    QString stored[5];
    for (int n = 1; n <= 4; ++n) {
        stored[n] = ReadPortMapping(n);
        dialog.setPortDevice(n, stored[n]);
    }
    dialog.setBaudRateIndex(s.CommBaudRate);
    const int port = s.CommPort;
    dialog.PortCB->setCurrentIndex(port >= 0 && port < dialog.PortCB->count() ? port : -1);
    dialog.setDeviceList(ListSerialDevices());
    CentreOnScreen(&dialog);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    s.CommPort = dialog.PortCB->currentIndex();
    s.CommBaudRate = dialog.BaudRateIndex();
    WriteCommSettings();
    for (int n = 1; n <= 4; ++n)
        if (dialog.PortDevice(n) != stored[n])
            WritePortMapping(n, dialog.PortDevice(n));
    return true;
}
