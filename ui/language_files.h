#pragma once
// Applies the two language files to the windows created at start-up, once, when the
// main window is first shown: first the .LNG file named after the executable (every
// read defaults to the current text), then lang.lng from the program directory (window
// and component texts default to empty). Windows and components are addressed by their
// component names; the text tables (messages, the burn window's table) are core's part.
// The files are only read.

#include <QList>
#include <vector>

class QWidget;
namespace ini {
class Profile;
}

namespace lang {

// One window the language files reach: its component name, which is its section in
// both files, and the names of its components in design order. Components without
// text (panels, bevels, dialogs, timers) may be listed; the passes skip them by kind.
struct LocalisedWindow {
    const char* name;
    std::vector<const char*> components;
};

// Every window created at start-up, one entry each.
const std::vector<LocalisedWindow>& LocalisedWindows();

// The passes over the given windows (each matched to its entry by object name; an
// entry without a window is skipped), followed by the file's text-table part.
void ApplyExeLanguageFile(const QList<QWidget*>& windows, const ini::Profile& file);
void ApplyLangFile(const QList<QWidget*>& windows, const ini::Profile& file);

// The main window's show-time localisation: the .LNG file beside the executable, then
// lang.lng in the program directory when it can be read, then Qt's own catalogue for the
// language lang.lng names ([Texts] Language). A missing, unreadable or irregular file
// changes nothing.
void ApplyLanguageFiles(const QList<QWidget*>& windows);

}  // namespace lang
