#pragma once

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

#include "CardInfoInputDlg.h"
#include "CardListView.h"
#include "CardTypeInputDlg.h"
#include "Main.h"
#include "ModalAnswer.h"
#include "files/WholeFile.h"

// The main window with its two dialogs, made as the program entry makes them, and the answers
// to the modal windows its commands open.

struct TMainWindow {
    std::unique_ptr<TVastrelleMainForm> Form;
    TCardInfoInputForm* CardDialog = nullptr;
    TCardTypeInputForm* CardTypeDialog = nullptr;

    TVastrelleMainForm* operator->() const { return Form.get(); }
    QAction* Action(const char* name) const {
        return Form->findChild<QAction*>(QString::fromLatin1(name));
    }
    QComboBox* Combo() const { return Form->findChild<QComboBox*>(QStringLiteral("ComboBox1")); }
    QAbstractItemModel* Model() const { return Form->ListView()->ReportView()->model(); }
    QStringList ComboItems() const {
        QStringList items;
        for (int i = 0; i < Combo()->count(); ++i) items << Combo()->itemText(i);
        return items;
    }
    // The texts of column `column` of every row.
    QStringList Column(int column) const {
        QStringList texts;
        for (int row = 0; row < Model()->rowCount(); ++row)
            texts << Model()->index(row, column).data().toString();
        return texts;
    }
    // The user picks the item at `index` in ComboBox1.
    void Choose(int index) const {
        Combo()->setCurrentIndex(index);
        emit Combo()->activated(index);
    }
};

inline TMainWindow OpenMainWindow(const std::filesystem::path& programFolder) {
    TMainWindow window;
    window.Form = std::make_unique<TVastrelleMainForm>(programFolder);
    window.CardDialog = new TCardInfoInputForm(window.Form.get());
    window.CardTypeDialog = new TCardTypeInputForm(window.Form.get());
    window.Form->SetDialogs(window.CardDialog, window.CardTypeDialog);
    return window;
}

// Waits for the next modal window of type T, runs `act` on it, then ends it with Cancel if it
// is still open, so a step that goes wrong cannot leave a test waiting in exec(). Answers may be
// set up before the command that opens their window; two answers to windows of one type must be
// chained (the second set up by the first) so that each gets its own window.
template <typename T>
void ActOnNext(std::function<void(T*)> act) {
    auto* timer = new QTimer(qApp);
    auto deadline = std::make_shared<QDeadlineTimer>(10000);
    QObject::connect(timer, &QTimer::timeout, [timer, act, deadline] {
        auto* modal = qobject_cast<T*>(QApplication::activeModalWidget());
        if (modal == nullptr && !deadline->hasExpired()) return;
        timer->stop();
        timer->deleteLater();
        if (modal == nullptr) return;
        act(modal);
        if (modal->isVisible()) static_cast<QDialog*>(modal)->done(QDialog::Rejected);
    });
    timer->start(5);
}

// Answers the next message box with the button of that caption; `inspect` sees it first.
inline void AnswerBox(const QString& button, std::function<void(QMessageBox*)> inspect = {}) {
    ActOnNext<QMessageBox>([button, inspect](QMessageBox* box) {
        if (inspect) inspect(box);
        ClickButton(box, button);
    });
}

// What the user types and drops in the card dialog; empty paths drop nothing.
struct TCardEntry {
    QString Number;
    QString Title;
    QString Comment;
    bool Owned = false;
    QString Front;
    QString Back;
};

// Fills the card dialog as it opens and presses OK; `caption` receives its caption.
inline void EnterCard(const TCardEntry& entry, QString* caption = nullptr) {
    ActOnNext<TCardInfoInputForm>([entry, caption](TCardInfoInputForm* dialog) {
        if (caption) *caption = dialog->windowTitle();
        auto edit = [dialog](const char* name) {
            return dialog->findChild<QLineEdit*>(QString::fromLatin1(name));
        };
        edit("EditNumber")->setText(entry.Number);
        edit("EditTitle")->setText(entry.Title);
        edit("EditComment")->setText(entry.Comment);
        dialog->findChild<QCheckBox*>(QStringLiteral("CheckBoxExist"))->setChecked(entry.Owned);
        if (!entry.Front.isEmpty()) dialog->DropFile(TCardSide::Front, entry.Front);
        if (!entry.Back.isEmpty()) dialog->DropFile(TCardSide::Back, entry.Back);
        dialog->findChild<QPushButton*>(QStringLiteral("ButtonOK"))->click();
    });
}

// Types a name into the card type name dialog as it opens and presses O K; `shown` receives
// the text it opened with.
inline void EnterCardTypeName(const QString& name, QString* shown = nullptr) {
    ActOnNext<TCardTypeInputForm>([name, shown](TCardTypeInputForm* modal) {
        auto* edit = modal->findChild<QLineEdit*>(QStringLiteral("Edit1"));
        if (shown) *shown = edit->text();
        edit->setText(name);
        modal->findChild<QPushButton*>(QStringLiteral("Button1"))->click();
    });
}

// Picks a file in the open dialog as it opens, as if its name were typed.
inline void ChooseFile(const QString& path) {
    ActOnNext<QFileDialog>([path](QFileDialog* dialog) {
        // selectFile() leaves a focused name field alone, so the path is typed into it.
        dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(path);
        static_cast<QDialog*>(dialog)->accept();  // QFileDialog hides it
    });
}

// The file's bytes, empty when it cannot be read.
inline std::string FileBytes(const std::filesystem::path& file) {
    return ReadWholeFile(file).value_or(std::string());
}
