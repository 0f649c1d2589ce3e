#pragma once
// The main window's size, position and catalogue/report split, kept for the user in the
// program folder's WINDOW.CFG (section [MainForm]) when the window closes and brought back
// at the next start, moved and shrunk into the screen the window opens on.

#include <QList>
#include <QRect>
#include <QString>

struct TMainWindowState {
    QRect geometry;      // the client area on the screen; empty when none was stored
    bool maximized = false;
    QList<int> splitter;  // widths of the catalogue and the report; empty when none
};

// ProgramDir + "WINDOW.CFG".
QString WindowStateFile();

// A missing file or key gives an empty state; values that are no numbers are ignored.
TMainWindowState ReadWindowState(const QString& path);
// Writes the state whole; throws FileError when the file cannot be written.
void WriteWindowState(const QString& path, const TMainWindowState& state);
