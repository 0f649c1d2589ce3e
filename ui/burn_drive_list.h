#pragma once
// The burn window's drive list: each line names the drive and says what it writes, in the
// current language, and the list is as wide as its longest line so that none is cut.

#include <string>

class QComboBox;
class QString;
struct TDriveAbilities;

// The shown line of a drive: its device line and what it writes ("unknown" and "nothing"
// in the language files' words).
QString DriveLineText(const std::string& deviceLine, const TDriveAbilities& abilities);

// Makes the list as wide as its longest line, never narrower than designed.
void FitDriveList(QComboBox* list);
