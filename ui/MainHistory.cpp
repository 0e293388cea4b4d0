// The main window's way back: undo and redo of card changes, and the clean-up of pictures that
// no card names, which goes through the same history.
#include <QMenuBar>

#include "CardTypeDocument.h"
#include "Main.h"
#include "MessageBoxes.h"
#include "OrphanImagesDlg.h"
#include "QtText.h"

void TVastrelleMainForm::UpdateHistoryStates() {
    const THistorySteps steps = m_document->HistorySteps();
    m_undo->setEnabled(steps.Undo);
    m_redo->setEnabled(steps.Redo);
}

void TVastrelleMainForm::UndoClick() {
    RunGuarded(this, [this] { m_document->Undo(); });
}

void TVastrelleMainForm::RedoClick() {
    RunGuarded(this, [this] { m_document->Redo(); });
}

void TVastrelleMainForm::ShowOrphanImages() {
    RunGuarded(this, [this] {
        if (!IsCardTypeWritable()) return;
        TOrphanImagesForm dialog(this);
        dialog.SetCardType(CardTypePaths().CardTypeFolder());
        dialog.exec();
        // Removed pictures change no card, but 元に戻す now has something to take back.
        if (dialog.Removed()) m_document->Reload();
    });
}
