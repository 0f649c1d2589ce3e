#pragma once
// Decoding of the program's 8-bit texts (report lines, catalogue, language files) for
// display, with the Windows-1250 code page unless SYSTEM.CFG [Display] CodePage names
// another. The bytes themselves are never changed.

#include <QByteArray>
#include <QString>

// Sets the code page by its iconv name ("WINDOWS-1250", "CP1252", ...); false if unknown.
bool SetDisplayCodePage(const QByteArray& name);
// Reads [Display] CodePage from SYSTEM.CFG (an unknown name keeps the default).
void ReadDisplayCodePage();
QString DecodeText(const QByteArray& bytes);
QByteArray EncodeText(const QString& text);
