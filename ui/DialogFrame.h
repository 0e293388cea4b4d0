#pragma once

class QWidget;

// A fixed dialog frame: a title bar with the close button only, no minimise, maximise or help
// button. The size is fixed by the caller (setFixedSize tells the window manager too).
void UseFixedDialogFrame(QWidget* window);
