#pragma once

#include <QMainWindow>
#include <filesystem>
#include <optional>
#include <string>

#include "CardTypes.h"
#include "Common.h"
#include "Settings.h"

class QAction;
class QActionGroup;
class QComboBox;
class QFileDialog;
class QLabel;
class TCardInfoInputForm;
class TCardListModel;
class TCardListView;
class TCardTypeInputForm;

// The main window: the card types in ComboBox1, the cards of the loaded one in ListView1 and the
// owned count in the status line. Every change of cards goes through the card list file and then
// a list refresh, so the list always shows what is on disk.
class TVastrelleMainForm : public QMainWindow {
    Q_OBJECT
public:
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
    // A card type's card list file was found by the last refresh.
    bool IsCardTypeLoaded() const { return m_loaded; }
    // ... and read to the end, so writing the card array back loses nothing.
    bool IsCardTypeWritable() const { return m_loaded && m_readComplete; }
    const TCardInfos& Cards() const { return m_cards; }
    const CurrentCardTypePaths& CardTypePaths() const { return m_paths; }
    std::optional<ViewItem> CheckedView() const;
    QString StatusLineText() const;
    TCardListView* ListView() const { return m_listView; }

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

private:
    void CreateControls();
    void CreateMenus();
    void FormCreate();
    void FormDestroy();
    void SelectComboItem(const std::string& name);
    // Appends a card type name as the last item; the chosen item stays chosen.
    void AddComboItem(const std::string& name);
    void UpdateMenuStates();
    // The card dialog for one card; true when the user accepted (its pictures are then stored).
    bool RunCardDialog(const char* caption, const TCardInfo& card);
    // Writes the changed cards as the card list file, then shows the file as it is on disk.
    void SaveCardsAndRefresh(const TCardInfos& cards);
    // The card type name the user typed, or nullopt when the dialog was cancelled.
    std::optional<std::string> AskCardTypeName(const QString& proposed);
    std::optional<std::size_t> SelectedCardIndex() const;
    QAction* ViewAction(ViewItem item) const;

    std::filesystem::path m_programFolder;
    TCardInfos m_cards;
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
    TCardListModel* m_model = nullptr;
    TCardListView* m_listView = nullptr;
    QLabel* m_statusPanels[4] = {};
    QAction* m_n5 = nullptr;
    QAction* m_n6 = nullptr;
    QAction* m_n7 = nullptr;
    QActionGroup* m_viewGroup = nullptr;
    QAction* m_viewActions[kViewItemCount] = {};
};
