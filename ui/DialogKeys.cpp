#include "DialogKeys.h"

#include <QKeyEvent>
#include <QPushButton>
#include <QWidget>

bool HandlePlainDialogKey(QWidget* dialog, QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (auto* button = qobject_cast<QPushButton*>(dialog->focusWidget());
                button && event->modifiers() == Qt::NoModifier)
                button->click();
            event->accept();
            return true;
        case Qt::Key_Escape:
            event->accept();
            return true;
        default:
            return false;
    }
}
