#pragma once
// The program's text tables: the message texts by key and the burn window's table.
// Texts are looked up at the moment of use so that language files can replace them.

#include <QString>
#include <QStringList>

namespace texts {

inline constexpr char sConnect[] = "sConnect";
inline constexpr char sDisconnect[] = "sDisconnect";
inline constexpr char sERROR[] = "sERROR";
inline constexpr char sWait[] = "sWait";
inline constexpr char sUpload[] = "sUpload";
inline constexpr char sCheckEcrTips[] = "sCheckEcrTips";
inline constexpr char SErrorOpen[] = "SErrorOpen";
inline constexpr char Smessage[] = "Smessage";
inline constexpr char SReadOnly[] = "SReadOnly";

inline constexpr int kBurnFrmCount = 14;

// The current text of a message key; an unknown key gives an empty string.
QString Message(const char* key);
// Replaces a message text; returns false for an unknown key.
bool SetMessage(const QString& key, const QString& text);

// Entry 0 to 13 of the burn window's table; out-of-range gives an empty string.
QString BurnFrm(int index);
bool SetBurnFrm(int index, const QString& text);
// An entry with its "%s" placeholders replaced by the values in order; a placeholder
// without a value stays as it is, a value without a placeholder is left out.
QString FormatBurnFrm(int index, const QStringList& values);

// The program's own texts (core/extra_texts.h) as Qt strings; "%1", "%2"... filled with values.
QString Extra(const char* key);
QString ExtraFormat(const char* key, const QStringList& values);
// A line of the burner or the command line in the current language (extra::Reword).
QString Reworded(const QString& line);

// Restores every text to its default (the program's own texts too).
void ResetToDefaults();

// A step's status text ("Connect...") and its error text ("Connect...Error").
QString StatusText(const char* stepKey);
QString ErrorText(const char* stepKey);

}  // namespace texts
