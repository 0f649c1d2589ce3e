#pragma once
// The Delete key in a list: it runs the action of the window's Delete button, so that a
// list's entries can be removed from the keyboard.

#include <functional>

class QWidget;

// While `view` has the focus, the Delete key runs `action` (the key does nothing else
// there). The filter lives as long as the view.
void OnDeleteKey(QWidget* view, std::function<void()> action);
