// The main window's way back: undo and redo of card changes, and the clean-up of pictures that
// no card names, which goes through the same history.
#include <QMenuBar>

#include "Main.h"
#include "MessageBoxes.h"
#include "OrphanImagesDlg.h"
#include "QtText.h"
#include "save/CardHistory.h"

void TVastrelleMainForm::UpdateHistoryStates() {
    bool canUndo = false;
    bool canRedo = false;
    // Only a card list read whole may be replaced; a history that cannot be read offers nothing.
    if (IsCardTypeWritable()) {
        try {
            canUndo = CanUndo(m_paths.CardTypeFolder());
            canRedo = CanRedo(m_paths.CardTypeFolder());
        } catch (const VastrelleError&) {
        }
    }
    m_undo->setEnabled(canUndo);
    m_redo->setEnabled(canRedo);
}

void TVastrelleMainForm::UndoClick() {
    RunGuarded(this, [this] {
        if (!IsCardTypeWritable()) return;
        RefreshAfterSave([this] { return TCardsAsRead{Undo(m_paths.CardTypeFolder()), {}}; });
    });
}

void TVastrelleMainForm::RedoClick() {
    RunGuarded(this, [this] {
        if (!IsCardTypeWritable()) return;
        RefreshAfterSave([this] { return TCardsAsRead{Redo(m_paths.CardTypeFolder()), {}}; });
    });
}

void TVastrelleMainForm::ShowOrphanImages() {
    RunGuarded(this, [this] {
        if (!IsCardTypeWritable()) return;
        TOrphanImagesForm dialog(this);
        dialog.SetCardType(m_paths.CardTypeFolder());
        dialog.exec();
        // Removed pictures change no card, but 元に戻す now has something to take back.
        if (dialog.Removed()) RefreshList(CurrentCardTypeName());
    });
}
