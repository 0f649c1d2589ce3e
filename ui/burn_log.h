#pragma once
// The burn window's message log: which of the burner's lines the operator sees, the
// burner's bytes as text, and the log's lines, the newest always in view.

#include <QStringList>
#include <cstdint>
#include <string>

class QPlainTextEdit;

// The burner's lines the operator sees: drive errors and refused files, not the
// information lines, and not the blank line that ends a burn.
bool ShownInBurnLog(uint8_t kind, const std::string& text);

// A line of the burner (file names in the system's encoding) as text, in the current
// language where the language files reword it.
QString BurnerText(const std::string& text);

// Appends the line and scrolls to it.
void AppendLogLine(QPlainTextEdit* log, const QString& line);

// The log's lines, without empty ones.
QStringList LogLinesOf(const QPlainTextEdit* log);
