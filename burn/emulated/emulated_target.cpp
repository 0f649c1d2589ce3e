#include "burn/emulated/emulated_target.h"

std::shared_ptr<IScsiTarget> OpenEmulatedRecorder(const std::string& imagePath, int speedX, std::string* error)
{
    std::shared_ptr<TEmulatedDrive> drive = TEmulatedDrive::Open(imagePath, error);
    if (drive)
        drive->SetSpeedX(speedX);
    return drive;
}

bool UseEmulatedRecorder(TScsiTransport& transport)
{
    TScsiTransportConfig config = transport.Config();
    config.openVirtualTarget = OpenEmulatedRecorder;
    return transport.Configure(std::move(config));
}

TEmulatedDrive* BuiltInEmulatedDrive(IScsiLayer* layer)
{
    return dynamic_cast<TEmulatedDrive*>(BuiltInTarget(layer));
}
