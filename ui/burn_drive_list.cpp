#include "ui/burn_drive_list.h"

#include "burn/drive/drive_abilities.h"
#include "core/texts.h"

#include <QComboBox>
#include <algorithm>

namespace {

constexpr int kDesignedWidth = 361;

}  // namespace

QString DriveLineText(const std::string& deviceLine, const TDriveAbilities& abilities)
{
    const std::string writes = abilities.WritesText();
    const QString shown = !abilities.known     ? texts::Extra("BurnWritesUnknown")
                          : writes == "nothing" ? texts::Extra("BurnWritesNothing")
                                                : QString::fromStdString(writes);
    return texts::ExtraFormat("BurnDriveLine", {QString::fromStdString(deviceLine), shown});
}

// A character more than the combo's own hint: that measures text without the glyphs'
// overhang. The window grows with the list.
void FitDriveList(QComboBox* list)
{
    list->setMinimumWidth(
        std::max(kDesignedWidth, list->sizeHint().width() + list->fontMetrics().averageCharWidth()));
}
