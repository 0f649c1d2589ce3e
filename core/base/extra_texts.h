#pragma once
// The texts this program shows beyond the message tables: port states and access hints,
// the serial port's open errors, the burn window's own questions, the About window, the
// main window's status-bar lines and title. Each has a key; lang.lng's section [Texts]
// replaces them, so a translation reaches every one. "%1", "%2" stand for the values
// filled in. Plain C++: the serial port and the burner use it too. The table is changed
// only while the program starts, before any worker thread runs.

#include <string>
#include <vector>

namespace extra {

// The current text of a key; an unknown key gives an empty text.
const std::string& Text(const char* key);
// The text with "%1", "%2", ... replaced by the values in order.
std::string Format(const char* key, const std::vector<std::string>& values);
// Replaces a text; false for an unknown key (nothing is changed).
bool SetText(const std::string& key, const std::string& text);
// A line of the burner or the command line, in their own English words, in the current
// language: when it has the shape of the built-in text of a key that rewords such lines,
// that key's current text with the same values (each reworded in turn); any other line
// as it is. With the built-in texts every line comes back unchanged.
std::string Reword(const std::string& line);
// Every key, in table order.
std::vector<std::string> Keys();
// Back to the built-in texts.
void ResetToDefaults();

}  // namespace extra
