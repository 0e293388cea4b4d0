#pragma once

#include <QDialog>
#include <filesystem>
#include <string>

class QStandardItemModel;
class QTableView;
class TFileWatch;
class TProgressChart;

// カード種類一覧: every listed card type with its owned and total counts, the percentage and a
// progress bar, sortable by each column; a card type whose card list cannot be read shows the
// reason instead, and one with copies of its card list left by sync tools is marked. While open
// it follows the files: a card type changed, made or removed by any program is counted again.
// Enter or a double-click chooses a card type and closes the window. Below, the selected card
// type's progress over time and its recently acquired cards.
class TCardTypeOverviewForm : public QDialog {
    Q_OBJECT
public:
    explicit TCardTypeOverviewForm(const std::filesystem::path& programFolder,
                                   QWidget* parent = nullptr);

    // Counts the card types again from their files.
    void Recount();
    QTableView* List() const { return m_list; }
    TProgressChart* Chart() const { return m_chart; }
    QTableView* RecentList() const { return m_recentList; }

signals:
    void CardTypeChosen(const std::string& name);  // CP932

private:
    void Choose(const QModelIndex& index);
    void Fill();
    // Counts again after files changed, keeping the sort and the selected card type.
    void Follow();
    // Reads the selected card type's card list for the chart and the recent cards.
    void ShowProgress();

    std::filesystem::path m_programFolder;
    QStandardItemModel* m_model;
    QTableView* m_list;
    TFileWatch* m_watch;
    TProgressChart* m_chart;
    QStandardItemModel* m_recent;
    QTableView* m_recentList;
};
