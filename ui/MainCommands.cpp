// The main window's commands that change cards and card types.
#include <QComboBox>
#include <QFileDialog>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "CardInfoInputDlg.h"
#include "CardListModel.h"
#include "CardListView.h"
#include "CardTypeInputDlg.h"
#include "Main.h"
#include "MessageBoxes.h"
#include "QtText.h"
#include "cardlist/CardListReadBack.h"
#include "cardtypes/TemplatePictures.h"
#include "files/Messages.h"
#include "save/CardStore.h"

namespace {

constexpr const char* kRegisterCaption = "カード情報の新規作成画面";
constexpr const char* kEditCaption = "カード情報の編集画面";
constexpr const char* kCardTypeCaption = "カード種類名称";
constexpr const char* kCardTypePrompt = "カード種類名称を入力してください";

}  // namespace

void TVastrelleMainForm::SetDialogs(TCardInfoInputForm* cardDialog,
                                    TCardTypeInputForm* cardTypeDialog) {
    m_cardDialog = cardDialog;
    m_cardTypeDialog = cardTypeDialog;
}

std::optional<std::size_t> TVastrelleMainForm::SelectedCardIndex() const {
    std::optional<std::size_t> index = m_listView->SelectedCardIndex();
    if (!index || *index >= m_cards.size()) return std::nullopt;
    return index;
}

// The dialog saves the whole change itself at OK (and stays open when that fails), so the command
// only refreshes after it accepted.
bool TVastrelleMainForm::RunCardDialog(const char* caption, const TCardInfo& card,
                                       std::optional<std::size_t> index) {
    m_savedCards.reset();
    m_cardDialog->SetCardInfo(
        Tr(caption), card, m_paths.ImageFolder(),
        [this, index](const TCardInfo& edited, const TSideChange& front, const TSideChange& back) {
            // The save's own copy, with room for one more card: a register then never moves
            // the whole array to a buffer twice its size while both are held.
            TCardsAsRead read;
            read.Cards.reserve(m_cards.size() + 1);
            read.Cards.assign(m_cards.begin(), m_cards.end());
            read.Identity = m_identity;
            std::size_t savedAt = 0;
            m_savedCards = SaveCard(m_paths.CardTypeFolder(), std::move(read), index, edited, front,
                                    back, &savedAt);
            return m_savedCards->Cards.at(savedAt);
        });
    return m_cardDialog->exec() == QDialog::Accepted;
}

// The list shows m_cards until the refresh, also while a failure box is open, so a save works on
// a copy; the refresh then replaces the array by what the file holds.
void TVastrelleMainForm::RefreshAfterSave(const std::function<TCardsAsRead()>& save) {
    std::optional<TCardsAsRead> saved;
    try {
        saved = save();
    } catch (const VastrelleError& error) {
        ShowError(this, error);
    }
    RefreshWithSaved(std::move(saved));
}

// Cards the file gives back unchanged need not be read again.
// Without the identity of the written file (undo, redo) the file is read again.
void TVastrelleMainForm::RefreshWithSaved(std::optional<TCardsAsRead> saved) {
    if (saved && saved->Identity.Exists && ReadsBackAsWritten(saved->Cards)) {
        RefreshList(CurrentCardTypeName(), m_paths.CardTypeFolder(), std::move(*saved));
    } else {
        saved.reset();  // not held beside the cards read again
        RefreshList(CurrentCardTypeName());
    }
#if defined(__GLIBC__)
    // The array the list gave up stays in the heap as a hole that the next save's copy, one card
    // larger after a register, does not fit: memory would grow by a card list with every save.
    malloc_trim(0);
#endif
}

void TVastrelleMainForm::SaveEditsAndRefresh(std::vector<TCardEdit> edits) {
    RefreshAfterSave(
        [&] { return SaveCardEdits(m_paths.CardTypeFolder(), CardsAsRead(), std::move(edits)); });
}

void TVastrelleMainForm::N8Click() { UpdateMenuStates(); }

void TVastrelleMainForm::N5Click() {
    RunGuarded(this, [this] {
        if (m_cardDialog == nullptr || !IsCardTypeWritable()) return;
        TCardInfo card;
        ClearCardInfo(card);
        if (!RunCardDialog(kRegisterCaption, card, std::nullopt)) return;
        RefreshWithSaved(std::move(m_savedCards));
        SelectAddedCard(m_cards.size());
    });
}

void TVastrelleMainForm::N6Click() {
    RunGuarded(this, [this] {
        if (m_cardDialog == nullptr || !IsCardTypeWritable()) return;
        std::optional<std::size_t> index = SelectedCardIndex();
        if (!index) return;
        if (!RunCardDialog(kEditCaption, m_cards[*index], index)) return;
        RefreshWithSaved(std::move(m_savedCards));
    });
}

void TVastrelleMainForm::N7Click() {
    RunGuarded(this, [this] {
        if (!IsCardTypeWritable()) return;
        std::optional<std::size_t> index = SelectedCardIndex();
        if (!index) return;
        QString question =
            Tr("「") + FromCp932(m_cards[*index].Title) + Tr("」を削除してもよろしいですか？");
        if (!AskYesNo(this, question)) return;
        // The card's picture files stay, as they always have: their names stay taken, and
        // `vastrelle-cli check` lists them as orphans.
        RefreshAfterSave(
            [&] { return DeleteCard(m_paths.CardTypeFolder(), CardsAsRead(), *index); });
    });
}

std::optional<std::string> TVastrelleMainForm::AskCardTypeName(const QString& proposed) {
    m_cardTypeDialog->SetCardTypeInfo(Tr(kCardTypeCaption), Tr(kCardTypePrompt), proposed);
    if (m_cardTypeDialog->exec() != QDialog::Accepted) return std::nullopt;
    std::optional<std::string> name = ToCp932(m_cardTypeDialog->Text());
    // A name CP932 cannot hold could never be listed or stored in setting.ini.
    if (!name) throw VastrelleError(msg::kBadCardTypeName, MessageKind::Warning);
    return name;
}

// A new card type is only added to the combo box: the loaded one stays loaded.
void TVastrelleMainForm::N2Click() {
    RunGuarded(this, [this] {
        if (m_cardTypeDialog == nullptr) return;
        std::optional<std::string> name = AskCardTypeName(QString());
        if (!name) return;
        CreateCardType(m_programFolder, *name);
        AddComboItem(*name);
    });
}

void TVastrelleMainForm::N4Click() {
    RunGuarded(this, [this] {
        if (m_cardTypeDialog == nullptr) return;
        if (m_openDialog1->exec() != QDialog::Accepted) return;
        const QStringList files = m_openDialog1->selectedFiles();
        if (files.isEmpty()) return;
        std::filesystem::path templatePath = ToPath(files.front());
        std::optional<std::string> name =
            AskCardTypeName(FromCp932(ProposedCardTypeName(templatePath)));
        if (!name) return;
        ImportTemplateWithPictures(m_programFolder, *name, templatePath);
        AddComboItem(*name);
    });
}
