#pragma once

#include <QDialog>
#include <filesystem>
#include <memory>
#include <optional>

#include "cardlist/Common.h"
#include "scans/ScanAttach.h"

class QCheckBox;
class QLabel;
class QProgressDialog;
class QPushButton;
class QTreeWidget;
template <typename T>
class QFutureWatcher;

// "画像フォルダから取込": the preview of a folder of scans matched to the cards of a card type,
// with the replace and create ticks; its OK reads the scans and makes their thumbnails on every
// core off the GUI thread, under a progress dialog whose Cancel writes nothing, then saves them
// with the card list as one change.
class TScanImportForm : public QDialog {
    Q_OBJECT
public:
    TScanImportForm(const std::filesystem::path& cardTypeFolder,
                    const std::filesystem::path& scanFolder, QWidget* parent = nullptr);
    ~TScanImportForm() override;

    const TScanPlan& Plan() const { return m_plan; }
    QCheckBox* ReplaceBox() const { return m_replace; }
    QCheckBox* CreateBox() const { return m_create; }
    QTreeWidget* CardList() const { return m_cards; }
    QTreeWidget* RefusedList() const { return m_refused; }
    QProgressDialog* Progress() const { return m_progress; }
    // After the dialog accepted: what the attach wrote.
    const std::optional<TAttachResult>& Result() const { return m_result; }

    // Reads the card list and plans the folder again with the ticks as they are.
    void Replan();
    // OK: starts the work in the background; the dialog closes when it is done.
    void Start();
    // The threads that read the scans: 0 (the default) for one per core.
    void SetThreadCount(unsigned threads) { m_threads = threads; }

private:
    struct TOutcome;
    void Finished();
    void ShowPlan();

    std::filesystem::path m_cardTypeFolder;
    std::filesystem::path m_scanFolder;
    TScanPlan m_plan;
    std::optional<TAttachResult> m_result;
    QCheckBox* m_replace;
    QCheckBox* m_create;
    QTreeWidget* m_cards;
    QTreeWidget* m_refused;
    QLabel* m_summary;
    QPushButton* m_ok;
    unsigned m_threads = 0;
    QProgressDialog* m_progress = nullptr;
    std::shared_ptr<TScanProgress> m_counter;
    QFutureWatcher<std::shared_ptr<TOutcome>>* m_watcher = nullptr;
};
