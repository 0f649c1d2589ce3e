#include "burn/emulated/emulated_target.h"

std::shared_ptr<IScsiTarget> OpenEmulatedRecorder(const std::string& imagePath, int speedX, std::string* error)
{
    std::shared_ptr<TEmulatedDrive> drive = TEmulatedDrive::Open(imagePath, error);
    if (drive)
        drive->SetSpeedX(speedX);
    return drive;
}

void UseEmulatedRecorder(TScsiTransport& transport)
{
    transport.OpenVirtualTarget = OpenEmulatedRecorder;
}

TEmulatedDrive* BuiltInEmulatedDrive(IScsiLayer* layer)
{
    return dynamic_cast<TEmulatedDrive*>(BuiltInTarget(layer));
}
