#pragma once
// Wires the emulated recorder into a transport: the opener that turns the configured
// image path into the drive answering for it, and the way back from a built-in layer to
// its emulated recorder (tests and benchmarks inject faults and read the disc through it).

#include "burn/emulated/emulated_drive.h"
#include "burn/transport/scsi_transport.h"

#include <memory>
#include <string>

// Opens the emulated recorder for imagePath at speedX (0 writes at once); null with the reason.
std::shared_ptr<IScsiTarget> OpenEmulatedRecorder(const std::string& imagePath, int speedX, std::string* error);
// Makes the transport open the emulated recorder for its virtual drive path (false while
// a burn holds the drive).
bool UseEmulatedRecorder(TScsiTransport& transport);
// The emulated recorder of the built-in layer, when it has one.
TEmulatedDrive* BuiltInEmulatedDrive(IScsiLayer* layer);
