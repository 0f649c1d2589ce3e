#pragma once
// Where the program keeps its files. A program run from a folder the user may write (a
// build folder, a portable copy) keeps SYSTEM.CFG, DEBUG.LOG, lang.lng, data/ and Report/
// beside its executable; an installed program keeps them in the user's own data folder,
// $XDG_DATA_HOME/vobrelfm/ (by default ~/.local/share/vobrelfm/); --home DIR overrides
// both. Also finds what an installed program keeps outside its bin folder: the register
// simulator. Choosing a folder creates nothing; PrepareProgramDir does.

#include <QString>

// The per-user program folder, ending in "/".
QString PerUserProgramDir();

// True when the executable in exeDir is an installed copy: it sits in the bin folder the
// program was configured to install into, or in a bin folder of the installed layout
// (the simulator in its libexec folder beside it, as in a staged install under another
// root), or in a folder the user may not write.
bool IsInstalledProgram(const QString& exeDir);

// The program folder, ending in "/": home when given, else the per-user folder for an
// installed program, else exeDir.
QString ChooseProgramDir(const QString& home, const QString& exeDir);

// Creates the folder (and its parents) when missing and checks that a file can be
// created in it. False with a message naming the folder and the reason.
bool PrepareProgramDir(const QString& dir, QString* error);

// The register simulator: beside the executable (a build folder, a portable copy), else
// in the installed layout's libexec folder. Empty when neither exists.
QString SimulatorPath(const QString& exeDir);

// The language of the user's messages from the locale variables (LC_ALL, then
// LC_MESSAGES, then LANG; "pl_PL.UTF-8" gives "pl"); empty for C and POSIX.
QString DesktopLanguage(const QString& lcAll, const QString& lcMessages, const QString& lang);
QString DesktopLanguage();

// The language file an installed program ships for a language (the data folder's
// lang/<language>/lang.lng); empty when there is none.
QString ShippedLanguageFile(const QString& exeDir, const QString& language);

// The first start of an installed program in a new per-user folder: the shipped
// lang.lng of the desktop's language goes into it, so the program speaks that language
// from the start. Nothing happens when the folder already has a lang.lng or none is
// shipped. False with the reason when the copy could not be written.
bool SeedLanguageFile(const QString& programDir, const QString& shippedFile, QString* error);
