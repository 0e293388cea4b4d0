#pragma once

#include <QDialog>
#include <QPointer>
#include <QString>
#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

#include "cardlist/Common.h"
#include "checklist/ChecklistMerge.h"

class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QLabel;
class QListWidget;
class QProgressBar;
class QTableWidget;
class QThreadPool;
class QTimer;
struct TChecklistPreview;
struct TChecklistPreviewJob;
template <typename T>
class QFutureWatcher;

// The checklist import dialog: the first rows of a file or of pasted text, the encoding and the
// delimiter (detected, changeable), a field per column, and what the import would do to the
// cards: how many new, changed and unchanged, and the rows it cannot take. It writes nothing;
// the caller imports Rows() after the user confirms.
//
// A large table is read, and its preview made, on a worker thread, so that a file of a million
// rows does not freeze the window: the dialog shows the progress, and closing it stops the work.
class TChecklistImportForm : public QDialog {
    Q_OBJECT
public:
    explicit TChecklistImportForm(QWidget* parent);
    ~TChecklistImportForm() override;

    // The table to show, from a file or from the clipboard's text, previewed against `cards`
    // (the loaded card type's, or none for a new card type). A small one is read at once, and a
    // file that cannot be read throws VastrelleError. A larger one is read on the worker and
    // previewed in the event loop; if it fails, the failure is shown in the box its kind names
    // and the dialog closes, as after another encoding or delimiter is chosen.
    void SetFile(const std::filesystem::path& file, const TCardInfos& cards);
    void SetText(const QString& text, const TCardInfos& cards);
    // A read or a new preview is under way; import is possible only once it is done.
    bool IsReading() const { return m_job != TJob::None; }
    // Stops the work under way before the dialog closes.
    void done(int result) override;

    // The rows under the mapping chosen, and the preview of the last change.
    const TChecklistRows& Rows() const { return m_rows; }
    const TChecklistPlan& Plan() const { return m_plan; }
    const TTable& Table() const { return *m_table; }
    // The preview line: "新規 10 枚、変更 0 枚、変更なし 0 枚".
    QString PreviewText() const;
    QComboBox* EncodingBox() const { return m_encoding; }
    QComboBox* DelimiterBox() const { return m_delimiter; }
    QCheckBox* HeaderBox() const { return m_header; }
    // The field choice of a column.
    QComboBox* ColumnBox(int column) const;
    QListWidget* RefusedList() const { return m_refused; }

private:
    enum class TJob { None, Read, Preview };

    void SetSource(const TCardInfos& cards);
    std::shared_ptr<TChecklistPreview> Reload(std::optional<TColumnMapping> mapping);
    void ChoiceChanged(bool encoding);
    void UpdatePreview();
    static bool IsSmall(const TChecklistPreviewJob& job);
    std::shared_ptr<TChecklistPreview> Start(TChecklistPreviewJob job, TJob kind);
    void Stop();
    void Finished();
    void Deliver(TChecklistPreview& preview, TJob job);
    void ReleasePreview(bool table);
    void Show(TChecklistPreview& preview);
    void ShowProgress();
    void UpdateControls();
    TColumnMapping CurrentMapping() const;
    void ShowTable();
    void ShowPlan();

    std::optional<std::filesystem::path> m_file;
    QByteArray m_text;        // UTF-8
    TTableOptions m_options;  // the encoding and delimiter the user chose for this file or text
    std::shared_ptr<const TCardInfos> m_cards;
    std::shared_ptr<const TTable> m_table;
    TChecklistRows m_rows;
    TChecklistPlan m_plan;
    bool m_updating = false;
    TJob m_job = TJob::None;
    QThreadPool* m_pool;
    QFutureWatcher<std::shared_ptr<TChecklistPreview>>* m_watcher;
    QTimer* m_progressDelay;
    QPointer<QWidget> m_focusBeforeRead, m_focusMovedTo;

    QComboBox* m_encoding;
    QComboBox* m_delimiter;
    QCheckBox* m_header;
    QTableWidget* m_grid;
    std::vector<QComboBox*> m_columnBoxes;
    QLabel* m_summary;
    QProgressBar* m_progress;
    QListWidget* m_refused;
    QDialogButtonBox* m_buttons;
};
