#pragma once

#include <QMainWindow>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "Thumbnails.h"
#include "cardlist/CardExport.h"
#include "cardlist/Common.h"
#include "cardtypes/CardTypes.h"
#include "cardtypes/Settings.h"

class QAction;
class QActionGroup;
class QComboBox;
class QFileDialog;
class QCheckBox;
class QLabel;
class QLineEdit;
class QMenu;
class QVBoxLayout;
class TCardFilterModel;
class TCardInfoInputForm;
class TCardListView;
class TCardTypeDocument;
class TCardTypeInputForm;
class TCardTypeOverviewForm;
class TFileWatch;
class TChecklistImportForm;

// A card as the list showed it, to select it again after another program changed the file.
struct TShownCard {
    std::size_t Index = 0;
    std::string Number;
    std::string Title;
};

// The main window: the card types in ComboBox1, the cards of the loaded one in ListView1 and the
// owned count in the status line. The loaded card type is its document's; the window's commands
// ask the document and show what it signals.
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

    // The CP932 name of the card type chosen in ComboBox1, empty when none is.
    std::string CurrentCardTypeName() const;
    // The loaded card type; the accessors below ask it.
    TCardTypeDocument* Document() const { return m_document; }
    bool IsCardTypeLoaded() const;
    bool IsCardTypeWritable() const;
    const TCardInfos& Cards() const;
    const CurrentCardTypePaths& CardTypePaths() const;
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
    // One copy more or fewer (delta) of every selected card, saved as one change.
    void ChangeCopies(int delta);
    // ツール menu: the overview of every card type, and the two exports of the loaded one.
    void ShowOverview();
    void ExportMissingCards();
    void ExportCardsCsv();
    // ツール menu: the spares for trading and the cards to look for, as text or CSV.
    void ExportSpares();
    void ExportWants();
    void FocusSearch();
    // カード menu: take back the last change of the loaded card type, or do it again.
    void UndoClick();
    void RedoClick();
    // ツール menu: the pictures no card names, to be deleted through the history.
    void ShowOrphanImages();
    // メニュー → チェックリスト取込...: a checklist file into a new card type or the loaded one.
    void ImportChecklistClick();
    // カード → 貼り付けて取込... (Ctrl+V on the list): the clipboard's table into the loaded one.
    void PasteChecklistClick();
    // カード menu: 所持にする and 未所持にする for every selected card, as one save; Space.
    void SetSelectedOwned(bool owned);
    void ToggleSelectedOwned();
    // カード menu: 画像フォルダから取込...: asks for the folder, then ImportScans.
    void ImportScanFolder();
    // The preview of a folder of scans for the loaded card type, and the attach it confirms.
    void ImportScans(const std::filesystem::path& scanFolder);

private:
    void CreateControls();
    void CreateMenus();
    void FormCreate();
    void FormDestroy();
    void SelectComboItem(const std::string& name);
    void FollowCardTypes();
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
    // What the window shows of the document's cards, before and after it refills them.
    void CardsAboutToReset(bool outside);
    void CardsReset(bool read, bool outside);
    void CardsSettled();
    void ShowOwnedCount();
    void ShowConflictCopies();
    TThumbnailKind CheckedThumbnailKind() const;
    void UpdateShownCount();
    // Selects the last card after a register, when the card array grew to `count` cards.
    void SelectAddedCard(std::size_t count);
    void ChooseCardType(const std::string& name);
    void ExportCards(const char* suffix, const QString& filter,
                     std::string (*format)(const TCardInfos&));
    // Asks for a file, text or CSV by the filter chosen or the name's extension, and writes the
    // list in that format.
    void ExportList(const char* suffix, std::string (*list)(const TCardInfos&, TListFormat));
    // The card type name the user typed, or nullopt when the dialog was cancelled.
    std::optional<std::string> AskCardTypeName(const QString& proposed);
    std::optional<std::size_t> SelectedCardIndex() const;
    TChecklistImportForm* ChecklistDialog();
    // The selected cards, in the order shown.
    std::vector<std::size_t> SelectedCardIndexes() const;
    // Several selected cards deleted after one question, as one save.
    void DeleteSelectedCards(const std::vector<std::size_t>& indexes);
    void CreateSelectionItems(QMenu* n8);
    void UpdateSelectionStates(bool writable);
    QAction* ViewAction(ViewItem item) const;
    TColumnDatas ListColumnDatas() const;

    std::filesystem::path m_programFolder;
    TCardTypeDocument* m_document;
    TFileWatch* m_programWatch;
    // The selected row before the document refilled the list, selected again after; after
    // another program's change, the selected card and the scroll position.
    std::optional<int> m_rememberedRow;
    std::optional<TShownCard> m_shownCard;
    std::pair<int, int> m_scroll;
    bool m_folderWritable = true;

    TCardInfoInputForm* m_cardDialog = nullptr;
    TCardTypeInputForm* m_cardTypeDialog = nullptr;
    QFileDialog* OpenDialog1();
    QFileDialog* m_openDialog1 = nullptr;
    QComboBox* m_comboBox1 = nullptr;
    QLabel* m_label2 = nullptr;
    QLabel* m_notice = nullptr;
    TCardFilterModel* m_filter = nullptr;
    TCardListView* m_listView = nullptr;
    QLineEdit* m_searchEdit = nullptr;
    QCheckBox* m_missingOnly = nullptr;
    QCheckBox* m_sparesOnly = nullptr;
    QCheckBox* m_wantedOnly = nullptr;
    QFileDialog* SaveDialog();
    QFileDialog* m_saveDialog = nullptr;
    TCardTypeOverviewForm* m_overview = nullptr;
    QAction* m_exportActions[4] = {};
    QLabel* m_statusPanels[4] = {};
    QAction* m_n5 = nullptr;
    QAction* m_n6 = nullptr;
    QAction* m_n7 = nullptr;
    QAction* m_orphanImages = nullptr;
    QAction* m_pasteChecklist = nullptr;
    QFileDialog* m_checklistFileDialog = nullptr;
    TChecklistImportForm* m_checklistDialog = nullptr;
    QAction* m_ownedOn = nullptr;
    QAction* m_ownedOff = nullptr;
    QAction* m_importScans = nullptr;
    QFileDialog* m_scanFolderDialog = nullptr;
    QAction* m_undo = nullptr;
    QAction* m_redo = nullptr;
    QActionGroup* m_viewGroup = nullptr;
    QAction* m_viewActions[kViewItemCount] = {};
};
