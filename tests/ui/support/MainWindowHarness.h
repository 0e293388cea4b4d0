#pragma once

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
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

// Runs `act` on the next modal window once it is open, then ends that window with Cancel if
// it is still open, so a step that goes wrong cannot leave a test waiting in exec().
inline void ActOnNextModal(std::function<void(QWidget*)> act) {
    QTimer::singleShot(0, [act] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr) return;
        act(modal);
        if (auto* dialog = qobject_cast<QDialog*>(modal); dialog && dialog->isVisible())
            dialog->done(QDialog::Rejected);
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
    ActOnNextModal([entry, caption](QWidget* modal) {
        auto* dialog = qobject_cast<TCardInfoInputForm*>(modal);
        if (dialog == nullptr) return;
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
    ActOnNextModal([name, shown](QWidget* modal) {
        auto* edit = modal->findChild<QLineEdit*>(QStringLiteral("Edit1"));
        if (edit == nullptr || qobject_cast<TCardTypeInputForm*>(modal) == nullptr) return;
        if (shown) *shown = edit->text();
        edit->setText(name);
        modal->findChild<QPushButton*>(QStringLiteral("Button1"))->click();
    });
}

// Picks a file in the open dialog as it opens, as if its name were typed.
inline void ChooseFile(const QString& path) {
    ActOnNextModal([path](QWidget* modal) {
        if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
            dialog->selectFile(path);
            static_cast<QDialog*>(dialog)->accept();  // QFileDialog hides it
        }
    });
}

inline std::string FileBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}
