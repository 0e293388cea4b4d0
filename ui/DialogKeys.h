#pragma once

class QKeyEvent;
class QWidget;

// The program's dialogs have no default and no cancel button: Enter and Escape do nothing,
// except that Enter on a focused button presses it. Returns true when the key was handled.
bool HandlePlainDialogKey(QWidget* dialog, QKeyEvent* event);
