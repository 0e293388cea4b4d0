#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QTimer>
#include <functional>

// Clicks the button of that caption in the modal window.
inline void ClickButton(QWidget* modal, const QString& caption) {
    for (QAbstractButton* button : modal->findChildren<QAbstractButton*>()) {
        if (button->text() == caption) {
            button->click();
            break;
        }
    }
}

// Answers the next modal box from a timer: finds the active modal widget, lets `inspect` look at
// it, then clicks the button with the given caption. Always ends the box afterwards, so a failed
// check cannot leave a test hanging on exec().
inline void AnswerNextModal(const QString& buttonCaption,
                            std::function<void(QWidget*)> inspect = {}, int delayMs = 0) {
    QTimer::singleShot(delayMs, [buttonCaption, inspect]() {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr) return;
        if (inspect) inspect(modal);
        ClickButton(modal, buttonCaption);
        if (auto* dialog = qobject_cast<QDialog*>(modal); dialog && dialog->isVisible())
            dialog->done(QDialog::Rejected);
    });
}
