#pragma once
// Qt's own texts (the standard buttons of message boxes, the file and print dialogs) in
// the language the program's texts are in: Qt's translation catalogue for that language,
// from the system's Qt translations folder.

#include <QString>

// Installs the catalogue of the language ("pl"), replacing one installed before; English
// and a language without a catalogue leave Qt's built-in English. False when no
// catalogue was installed.
bool LoadQtCatalogue(const QString& language);
