#pragma once
// Qt's own file dialog (shown where the desktop offers none) opens with its list of
// places narrower than their names ("Com..." for Computer). Every such dialog, when it is
// shown, gets a list of places as wide as its longest entry; the file list gives up the
// room.

class QFileDialog;

// Widens the dialog's list of places to its longest entry (never narrows it); a dialog
// without one (the desktop's own) is left as it is.
void FitFileDialogSidebar(QFileDialog* dialog);

// From now on every file dialog of the application is fitted so each time it is shown.
void FitFileDialogSidebars();
