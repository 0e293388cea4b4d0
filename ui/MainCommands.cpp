// The main window's commands that change cards and card types.
#include <QComboBox>
#include <QFileDialog>

#include "CardInfoInputDlg.h"
#include "CardListView.h"
#include "CardTypeDocument.h"
#include "CardTypeInputDlg.h"
#include "Main.h"
#include "MessageBoxes.h"
#include "QtText.h"
#include "cardtypes/TemplatePictures.h"
#include "files/Messages.h"

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
    if (!index || *index >= Cards().size()) return std::nullopt;
    return index;
}

// The dialog saves the whole change itself at OK (and stays open when that fails), so the command
// only shows the saved cards after it accepted.
bool TVastrelleMainForm::RunCardDialog(const char* caption, const TCardInfo& card,
                                       std::optional<std::size_t> index) {
    m_cardDialog->SetCardInfo(
        Tr(caption), card, CardTypePaths().ImageFolder(),
        [this, index](const TCardInfo& edited, const TSideChange& front, const TSideChange& back) {
            return m_document->SaveCard(index, edited, front, back);
        });
    return m_cardDialog->exec() == QDialog::Accepted;
}

void TVastrelleMainForm::N8Click() { UpdateMenuStates(); }

void TVastrelleMainForm::N5Click() {
    RunGuarded(this, [this] {
        if (m_cardDialog == nullptr || !IsCardTypeWritable()) return;
        TCardInfo card;
        ClearCardInfo(card);
        if (!RunCardDialog(kRegisterCaption, card, std::nullopt)) return;
        m_document->ShowSavedCard();
        SelectAddedCard(Cards().size());
    });
}

void TVastrelleMainForm::N6Click() {
    RunGuarded(this, [this] {
        if (m_cardDialog == nullptr || !IsCardTypeWritable()) return;
        std::optional<std::size_t> index = SelectedCardIndex();
        if (!index) return;
        if (!RunCardDialog(kEditCaption, Cards()[*index], index)) return;
        m_document->ShowSavedCard();
    });
}

void TVastrelleMainForm::N7Click() {
    RunGuarded(this, [this] {
        if (!IsCardTypeWritable()) return;
        if (const std::vector<std::size_t> indexes = SelectedCardIndexes(); indexes.size() > 1)
            return DeleteSelectedCards(indexes);
        std::optional<std::size_t> index = SelectedCardIndex();
        if (!index) return;
        QString question =
            Tr("「") + FromCp932(Cards()[*index].Title) + Tr("」を削除してもよろしいですか？");
        if (!AskYesNo(this, question)) return;
        m_document->DeleteCard(*index);
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
        if (OpenDialog1()->exec() != QDialog::Accepted) return;
        const QStringList files = OpenDialog1()->selectedFiles();
        if (files.isEmpty()) return;
        std::filesystem::path templatePath = ToPath(files.front());
        std::optional<std::string> name =
            AskCardTypeName(FromCp932(ProposedCardTypeName(templatePath)));
        if (!name) return;
        ImportTemplateWithPictures(m_programFolder, *name, templatePath);
        AddComboItem(*name);
    });
}
