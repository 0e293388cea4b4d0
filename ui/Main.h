#pragma once

#include <QMainWindow>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "cardlist/Common.h"
#include "cardtypes/CardTypes.h"
#include "cardtypes/Settings.h"
#include "save/CardStore.h"

class QAction;
class QActionGroup;
class QComboBox;
class QFileDialog;
class QCheckBox;
class QLabel;
class QLineEdit;
class QVBoxLayout;
class TCardFilterModel;
class TCardInfoInputForm;
class TCardListModel;
class TCardListView;
class TCardTypeInputForm;
class TCardTypeOverviewForm;

// The main window: the card types in ComboBox1, the cards of the loaded one in ListView1 and the
// owned count in the status line. Every change of cards goes through the card list file and then
// a list refresh, so the list always shows what is on disk.
class TVastrelleMainForm : public QMainWindow {
    Q_OBJECT
public:
    // The width of the first status panel while its text fits it.
    static constexpr int kStatusPanelWidth = 100;

    // Lists the card types of programFolder, reads its settings and loads the remembered card
    // type. Failures are reported and the window opens all the same.
    explicit TVastrelleMainForm(const std::filesystem::path& programFolder,
                                QWidget* parent = nullptr);
    // Writes the settings; a failure is reported and teardown goes on.
    ~TVastrelleMainForm() override;

    // The card dialog and the card type name dialog, created once by the program entry and shown
    // modally by the commands. Without them the commands do nothing.
    void SetDialogs(TCardInfoInputForm* cardDialog, TCardTypeInputForm* cardTypeDialog);

    // Reloads the named card type (CP932) from disk into the list, the status line and the
    // checked view, keeping the selected row position. False when the name is empty or the card
    // type has no card list file; a card list that fails to read throws, leaving the list empty
    // and the card type marked unreadable.
    bool RefreshList(const std::string& cardTypeName);
    // The same refresh right after a save: `written` are the cards just written into the card
    // list file of `folder` and known to read back as exactly them, so the list takes them
    // instead of reading the file again (when the name still names that folder).
    bool RefreshList(const std::string& cardTypeName, const std::filesystem::path& folder,
                     TCardsAsRead&& written);

    // The CP932 name of the card type chosen in ComboBox1, empty when none is.
    std::string CurrentCardTypeName() const;
    // A card type's card list file was found by the last refresh.
    bool IsCardTypeLoaded() const { return m_loaded; }
    // ... and read to the end, so writing the card array back loses nothing.
    bool IsCardTypeWritable() const { return m_loaded && m_readComplete; }
    // The card array of the loaded card type, held by the list model.
    const TCardInfos& Cards() const { return m_cards; }
    const CurrentCardTypePaths& CardTypePaths() const { return m_paths; }
    std::optional<ViewItem> CheckedView() const;
    QString StatusLineText() const;
    TCardListView* ListView() const { return m_listView; }
    TCardFilterModel* FilterModel() const { return m_filter; }
    // The text of status panel 1: "表示 N 件" while the filter hides rows, else empty.
    QString ShownCountText() const;

public slots:
    void ComboBox1Change();
    void N2Click();
    void N4Click();
    void Exit1Click();
    void N8Click();
    void N5Click();
    void N6Click();
    void N7Click();
    void N9Click();
    void N10Click();

    // Inverts the owned mark of the card at that index of the card array and saves at once;
    // the card stays selected when the filter still shows it.
    void ToggleOwned(std::size_t cardIndex);
    // ツール menu: the overview of every card type, and the two exports of the loaded one.
    void ShowOverview();
    void ExportMissingCards();
    void ExportCardsCsv();
    void FocusSearch();
    // カード menu: take back the last change of the loaded card type, or do it again.
    void UndoClick();
    void RedoClick();
    // ツール menu: the pictures no card names, to be deleted through the history.
    void ShowOrphanImages();

private:
    void CreateControls();
    void CreateMenus();
    void FormCreate();
    void FormDestroy();
    void SelectComboItem(const std::string& name);
    // Appends a card type name as the last item; the chosen item stays chosen.
    void AddComboItem(const std::string& name);
    void CreateFilterBar(QWidget* parent, QVBoxLayout* layout);
    void CreateToolsMenu();
    void UpdateMenuStates();
    void SetStatusLine(const QString& text);
    // 元に戻す and やり直し follow the history on disk, asked once per refresh.
    void UpdateHistoryStates();
    // The card dialog for a new card (index empty) or card `*index`; true when the user accepted,
    // and the dialog then saved the card with its pictures.
    bool RunCardDialog(const char* caption, const TCardInfo& card,
                       std::optional<std::size_t> index);
    // Runs one save, reports its failure, then shows the card list as it is on disk.
    void RefreshAfterSave(const std::function<TCardsAsRead()>& save);
    // The list refresh after a save: the cards just written are shown without reading the file
    // again when it gives them back unchanged.
    void RefreshWithSaved(std::optional<TCardsAsRead> saved);
    bool Refresh(const std::string& cardTypeName, const std::filesystem::path* folder,
                 TCardsAsRead* written);
    // The cards shown with what their read saw, for a save computed from them.
    TCardsAsRead CardsAsRead() const { return {m_cards, m_identity}; }
    // Writes cards whose pictures stay as they are (texts or owned marks), then refreshes.
    void UpdateShownCount();
    // Selects the last card after a register, when the card array grew to `count` cards.
    void SelectAddedCard(std::size_t count);
    void ChooseCardType(const std::string& name);
    void ExportCards(const char* suffix, const QString& filter,
                     std::string (*format)(const TCardInfos&));
    // Saves changes of cards whose pictures stay as they are (texts or owned marks), then
    // refreshes.
    void SaveEditsAndRefresh(std::vector<TCardEdit> edits);
    // The card type name the user typed, or nullopt when the dialog was cancelled.
    std::optional<std::string> AskCardTypeName(const QString& proposed);
    std::optional<std::size_t> SelectedCardIndex() const;
    QAction* ViewAction(ViewItem item) const;

    std::filesystem::path m_programFolder;
    TCardListModel* m_model;
    // Read-only view of the model's card array, for the commands.
    const TCardInfos& m_cards;
    // The cards the card dialog's save wrote, for the refresh after it.
    std::optional<TCardsAsRead> m_savedCards;
    // What the read of the shown cards saw, so that a save can tell a change made outside.
    TCardListIdentity m_identity;
    TColumnDatas m_columnDatas;
    CurrentCardTypePaths m_paths;
    bool m_loaded = false;
    bool m_readComplete = false;
    bool m_folderWritable = true;

    TCardInfoInputForm* m_cardDialog = nullptr;
    TCardTypeInputForm* m_cardTypeDialog = nullptr;
    QFileDialog* m_openDialog1 = nullptr;
    QComboBox* m_comboBox1 = nullptr;
    QLabel* m_label2 = nullptr;
    TCardFilterModel* m_filter = nullptr;
    TCardListView* m_listView = nullptr;
    QLineEdit* m_searchEdit = nullptr;
    QCheckBox* m_missingOnly = nullptr;
    QFileDialog* m_saveDialog = nullptr;
    TCardTypeOverviewForm* m_overview = nullptr;
    QAction* m_exportActions[2] = {};
    QLabel* m_statusPanels[4] = {};
    QAction* m_n5 = nullptr;
    QAction* m_n6 = nullptr;
    QAction* m_n7 = nullptr;
    QAction* m_orphanImages = nullptr;
    QAction* m_undo = nullptr;
    QAction* m_redo = nullptr;
    QActionGroup* m_viewGroup = nullptr;
    QAction* m_viewActions[kViewItemCount] = {};
};
