#pragma once

#include <QDialog>
#include <filesystem>
#include <string>
#include <vector>

class QLabel;
class QListView;
class QPushButton;
class QStandardItemModel;

// 使われていない画像を整理: the pictures of the loaded card type that no card names, each with
// its thumbnail and a check box; the checked ones are moved into the history after a
// confirmation, so that 元に戻す brings them back.
class TOrphanImagesForm : public QDialog {
    Q_OBJECT
public:
    explicit TOrphanImagesForm(QWidget* parent);

    // Lists the orphans of the card type folder again; a failure (a card list or image folder
    // that cannot be read) is shown and leaves the list empty.
    void SetCardType(const std::filesystem::path& cardTypeFolder);
    // The CP932 names of the checked orphans, in list order.
    std::vector<std::string> CheckedNames() const;
    // Removes the checked orphans after the confirmation. True when something was removed.
    bool RemoveChecked();
    bool Removed() const { return m_removed; }
    QListView* List() const { return m_list; }
    QStandardItemModel* Model() const { return m_model; }

private:
    void SetAllChecked(bool checked);
    void UpdateButtons();

    std::filesystem::path m_cardTypeFolder;
    QStandardItemModel* m_model;
    QListView* m_list;
    QLabel* m_label;
    QPushButton* m_removeButton;
    bool m_removed = false;
};
