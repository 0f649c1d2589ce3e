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
// Text in the code page; a character it lacks becomes a look-alike or "?".
QByteArray EncodeText(const QString& text);

// The first character of text that the code page cannot represent, or an empty string.
QString UnrepresentableCharacter(const QString& text);
// Why text cannot be kept in the code page (the message names the character), or an
// empty string when it can.
QString CodePageProblem(const QString& text);

// At most width bytes of code-page text, cut before a character that would not fit whole.
QByteArray CutEncodedText(const QByteArray& bytes, int width);
// The same for text in the user's locale (UTF-8), such as file paths.
QByteArray CutLocalText(const QByteArray& bytes, int width);
