#pragma once
// Finds the texts that do not fit their controls: walks a window and every visible
// control in it and checks, at the controls' current fonts, that each caption, label,
// edit text, list item, group title, column title and table cell has room in its control,
// and that no text control is cut by an ancestor's edge or covered by a sibling text
// control. Used with the default texts and with translated ones.

#include <QString>
#include <QStringList>

class QWidget;

// One line per problem ("Window/control: 'text' needs 120x17, has 88x27"); empty when
// every text fits.
QStringList CutTexts(QWidget* window);
