#pragma once

#include <QDialog>
#include <QString>
#include <filesystem>
#include <optional>
#include <vector>

#include "cardlist/Common.h"
#include "checklist/ChecklistMerge.h"

class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QLabel;
class QListWidget;
class QTableWidget;

// The checklist import dialog: the first rows of a file or of pasted text, the encoding and the
// delimiter (detected, changeable), a field per column, and what the import would do to the
// cards: how many new, changed and unchanged, and the rows it cannot take. It writes nothing;
// the caller imports Rows() after the user confirms.
class TChecklistImportForm : public QDialog {
    Q_OBJECT
public:
    explicit TChecklistImportForm(QWidget* parent);

    // The table to show, from a file or from the clipboard's text, previewed against `cards`
    // (the loaded card type's, or none for a new card type). A file that cannot be read throws
    // VastrelleError.
    void SetFile(const std::filesystem::path& file, const TCardInfos& cards);
    void SetText(const QString& text, const TCardInfos& cards);

    // The rows under the mapping chosen, and the preview of the last change.
    const TChecklistRows& Rows() const { return m_rows; }
    const TChecklistPlan& Plan() const { return m_plan; }
    const TTable& Table() const { return m_table; }
    // The preview line: "新規 10 枚、変更 0 枚、変更なし 0 枚".
    QString PreviewText() const;
    QComboBox* EncodingBox() const { return m_encoding; }
    QComboBox* DelimiterBox() const { return m_delimiter; }
    QCheckBox* HeaderBox() const { return m_header; }
    // The field choice of a column.
    QComboBox* ColumnBox(int column) const;
    QListWidget* RefusedList() const { return m_refused; }

private:
    void Reload(bool keepChoices);
    TColumnMapping CurrentMapping() const;
    void ShowTable();
    void UpdatePreview();

    std::optional<std::filesystem::path> m_file;
    QString m_text;
    TCardInfos m_cards;
    TTable m_table;
    TChecklistRows m_rows;
    TChecklistPlan m_plan;
    bool m_updating = false;

    QComboBox* m_encoding;
    QComboBox* m_delimiter;
    QCheckBox* m_header;
    QTableWidget* m_grid;
    std::vector<QComboBox*> m_columnBoxes;
    QLabel* m_summary;
    QListWidget* m_refused;
    QDialogButtonBox* m_buttons;
};
