#include "reports/register_test.h"

#include "core/texts.h"
#include "link/ibus_session.h"

TEcrStatus& EcrStatus()
{
    static TEcrStatus status;
    return status;
}

QString PortNameOf(int commPort)
{
    return QStringLiteral("COM%1").arg(commPort);
}

bool TestCommand(TVeskIBusComm& bus, IProgressSink& progress, const QString& commName,
                 int baudIndex)
{
    bus.CommName = commName.toStdString();
    bus.setBaudRate(baudIndex);
    try {
        bus.OpenPort();
    } catch (const ECommsError&) {
        return false;  // OpenPort has shown its message
    }
    progress.Show();
    progress.ShowStatus(false, texts::StatusText(texts::sConnect));
    if (!bus.ConnectEcr(kEcrAddress, false)) {
        progress.ShowStatus(true, texts::ErrorText(texts::sConnect));
        progress.WaitForOperator();
        bus.ClosePort();
        return false;
    }
    progress.ShowStatus(false, texts::StatusText(texts::sDisconnect));
    bus.DisconnectEcr(kEcrAddress, 0);
    progress.Close();
    bus.ClosePort();
    return true;
}

bool CheckEcrStatus(TVeskIBusComm& bus, IProgressSink& progress)
{
    progress.ShowStatus(false, texts::StatusText(texts::sCheckEcrTips));
    progress.SetTotalPackages(0);
    if (bus.ExchangeCommand(0, 0)) {
        TEcrStatus& status = EcrStatus();
        status.Data = bus.DataBlock;
        status.FiscalMemoryClosed = bus.DataBlock[15];
        return true;
    }
    for (int i = 0; i < 4; ++i)
        bus.DisconnectEcr(kEcrAddress, 1);
    progress.ShowStatus(true, texts::ErrorText(texts::sCheckEcrTips));
    progress.WaitForOperator();
    return false;
}
