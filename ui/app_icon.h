#pragma once
// The application's icon for its windows: the desktop theme's "vobrelfm" icon when the
// desktop can draw it, otherwise the same picture (a cash register with the report slip,
// packaging/vobrelfm.svg) painted here, so no image plug-in is needed.

#include <QIcon>

QIcon ApplicationIcon();
