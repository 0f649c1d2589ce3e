#pragma once
// The two optional language files and the text tables they replace. The .LNG file is
// named after the executable and lies beside it (for an installed program, also in the
// program directory); lang.lng lies in the program directory.
// Both are INI files of 8-bit text in the display code page, read once and never written.
// This unit loads them and applies their message texts (section String) and the burn
// window's table (section BurnFrm); the window texts are the user interface's part.

#include "core/ini_file.h"

#include <QString>

namespace lang {

// The largest language file read; a larger one is treated as unreadable.
inline constexpr qint64 kMaxFileSize = 1 << 20;

// The executable's path with its extension replaced by ".LNG" ("vobrelfm" gives
// "vobrelfm.LNG", "x.exe" gives "x.LNG").
QString ExeLanguageFilePath(const QString& executablePath);
// The .LNG file of the running program: beside it, or for an installed program without
// one there, the same name in the program folder.
QString ExeLanguageFilePath();
// ProgramDir + "lang.lng".
QString LangFilePath();

// Loads a language file into *out. A missing file, one that is not a regular file (a
// directory, a FIFO, a device), one larger than kMaxFileSize or one that cannot be read
// gives false and an empty profile; opening never blocks.
bool LoadLanguageFile(const QString& path, ini::Profile* out);

// The .LNG file's section String: the keys Connect (the text sConnect), sDisconnect,
// SErrorOpen, Smessage, SReadOnly and sUpload; a missing key keeps the current text.
void ApplyExeMessageTexts(const ini::Profile& file);
// lang.lng's section BurnFrm (keys "0" to "13", trimmed; an empty or missing value keeps
// the entry), then its section String with the nine message keys (a missing key keeps
// the current text, an empty one empties it), then its section Texts with the program's
// own texts (core/extra_texts.h; an empty or missing value keeps the text).
void ApplyLangTextTables(const ini::Profile& file);

// The text-table part of both files in their order, for the commands that run without
// a window: the .LNG file's messages, then lang.lng's tables when it can be read.
void ApplyLanguageTextTables();

}  // namespace lang
