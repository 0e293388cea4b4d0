#include "ChecklistImportDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "QtText.h"
#include "WaitCursor.h"

namespace {

constexpr int kShownRows = 20;
constexpr int kShownRefusals = 500;

constexpr TTableEncoding kEncodings[] = {TTableEncoding::Utf8, TTableEncoding::Cp932,
                                         TTableEncoding::Utf16LE, TTableEncoding::Utf16BE};
constexpr struct {
    TTableDelimiter Delimiter;
    const char* Caption;
} kDelimiters[] = {
    {TTableDelimiter::Comma, "カンマ (,)"},
    {TTableDelimiter::Tab, "タブ"},
    {TTableDelimiter::Semicolon, "セミコロン (;)"},
    {TTableDelimiter::Blanks, "最初の空白 (番号 名前)"},
};

QString FromUtf8View(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

TChecklistImportForm::TChecklistImportForm(QWidget* parent) : QDialog(parent) {
    setWindowTitle(Tr("チェックリスト取込"));
    setAccessibleName(Tr("チェックリスト取込"));
    resize(720, 520);

    m_encoding = new QComboBox(this);
    m_encoding->setAccessibleName(Tr("文字コード"));
    for (TTableEncoding encoding : kEncodings)
        m_encoding->addItem(FromUtf8View(EncodingName(encoding)), static_cast<int>(encoding));
    m_delimiter = new QComboBox(this);
    m_delimiter->setAccessibleName(Tr("区切り文字"));
    for (const auto& entry : kDelimiters)
        m_delimiter->addItem(Tr(entry.Caption), static_cast<int>(entry.Delimiter));
    m_header = new QCheckBox(Tr("1 行目は見出し(&H)"), this);
    m_header->setAccessibleName(Tr("1 行目は見出し"));

    auto* options = new QHBoxLayout;
    auto* encodingLabel = new QLabel(Tr("文字コード(&E):"), this);
    encodingLabel->setBuddy(m_encoding);
    auto* delimiterLabel = new QLabel(Tr("区切り(&D):"), this);
    delimiterLabel->setBuddy(m_delimiter);
    options->addWidget(encodingLabel);
    options->addWidget(m_encoding);
    options->addSpacing(12);
    options->addWidget(delimiterLabel);
    options->addWidget(m_delimiter);
    options->addSpacing(12);
    options->addWidget(m_header);
    options->addStretch();

    m_grid = new QTableWidget(this);
    m_grid->setAccessibleName(Tr("先頭の行と列ごとの項目"));
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->verticalHeader()->setVisible(false);

    m_summary = new QLabel(this);
    m_summary->setAccessibleName(Tr("取込結果"));
    m_refused = new QListWidget(this);
    m_refused->setAccessibleName(Tr("取り込めない行"));
    m_refused->setMaximumHeight(110);
    auto* refusedLabel = new QLabel(Tr("取り込めない行(&R):"), this);
    refusedLabel->setBuddy(m_refused);

    m_buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_buttons->button(QDialogButtonBox::Ok)->setText(Tr("取込(&I)"));
    m_buttons->button(QDialogButtonBox::Ok)->setAccessibleName(Tr("取込"));
    m_buttons->button(QDialogButtonBox::Cancel)->setText(Tr("キャンセル"));
    m_buttons->button(QDialogButtonBox::Cancel)->setAccessibleName(Tr("キャンセル"));

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(options);
    layout->addWidget(m_grid, 1);
    layout->addWidget(m_summary);
    layout->addWidget(refusedLabel);
    layout->addWidget(m_refused);
    layout->addWidget(m_buttons);

    connect(m_buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_encoding, &QComboBox::currentIndexChanged, this, [this] {
        if (!m_updating) Reload(true);
    });
    connect(m_delimiter, &QComboBox::currentIndexChanged, this, [this] {
        if (!m_updating) Reload(true);
    });
    connect(m_header, &QCheckBox::toggled, this, [this] {
        if (!m_updating) UpdatePreview();
    });
}

void TChecklistImportForm::SetFile(const std::filesystem::path& file, const TCardInfos& cards) {
    m_file = file;
    m_text.clear();
    m_cards = cards;
    m_encoding->setEnabled(true);
    Reload(false);
}

void TChecklistImportForm::SetText(const QString& text, const TCardInfos& cards) {
    m_file.reset();
    m_text = text;
    m_cards = cards;
    m_encoding->setEnabled(false);  // the clipboard gives characters, not bytes
    Reload(false);
}

// Reads the table again: with the encoding and delimiter the boxes show once the user chose
// one (keepChoices), else as detected, and with the mapping the new columns suggest.
void TChecklistImportForm::Reload(bool keepChoices) {
    TWaitCursor wait;
    TTableOptions options;
    if (keepChoices) {
        if (m_file)
            options.Encoding = static_cast<TTableEncoding>(m_encoding->currentData().toInt());
        options.Delimiter = static_cast<TTableDelimiter>(m_delimiter->currentData().toInt());
    }
    const TColumnMapping chosen = CurrentMapping();
    if (m_file) {
        m_table = ReadTableFile(*m_file, options);
    } else {
        const QByteArray utf8 = m_text.toUtf8();
        m_table = ReadTableText(std::string_view(utf8.constData(), utf8.size()), options);
    }
    m_updating = true;
    m_encoding->setCurrentIndex(m_encoding->findData(static_cast<int>(m_table.Encoding)));
    m_delimiter->setCurrentIndex(m_delimiter->findData(static_cast<int>(m_table.Delimiter)));
    // The user's choices stay while the columns do (another encoding, say).
    const TColumnMapping mapping = keepChoices && chosen.Columns.size() == m_table.ColumnCount()
                                       ? chosen
                                       : GuessMapping(m_table);
    m_header->setChecked(mapping.HasHeader);
    ShowTable();
    for (std::size_t column = 0; column < m_columnBoxes.size(); ++column) {
        QComboBox* box = m_columnBoxes[column];
        box->setCurrentIndex(box->findData(static_cast<int>(mapping.Columns[column])));
    }
    m_updating = false;
    UpdatePreview();
}

void TChecklistImportForm::ShowTable() {
    const int columns = static_cast<int>(m_table.ColumnCount());
    const int rows = static_cast<int>(std::min<std::size_t>(m_table.RowCount(), kShownRows));
    m_grid->clear();
    m_grid->setColumnCount(columns);
    m_grid->setRowCount(rows + 1);
    m_columnBoxes.clear();
    QStringList headers;
    for (int column = 0; column < columns; ++column) {
        headers << Tr("列 %1").arg(column + 1);
        auto* box = new QComboBox(m_grid);
        box->setAccessibleName(Tr("列 %1 の項目").arg(column + 1));
        for (TChecklistField field : ChecklistFields())
            box->addItem(FromUtf8View(FieldCaption(field)), static_cast<int>(field));
        connect(box, &QComboBox::currentIndexChanged, this, [this] {
            if (!m_updating) UpdatePreview();
        });
        m_grid->setCellWidget(0, column, box);
        m_columnBoxes.push_back(box);
    }
    m_grid->setHorizontalHeaderLabels(headers);
    for (int row = 0; row < rows; ++row)
        for (int column = 0; column < columns; ++column)
            m_grid->setItem(row + 1, column,
                            new QTableWidgetItem(FromUtf8View(m_table.Cell(row, column))));
    m_grid->resizeColumnsToContents();
}

QComboBox* TChecklistImportForm::ColumnBox(int column) const {
    return column >= 0 && column < static_cast<int>(m_columnBoxes.size()) ? m_columnBoxes[column]
                                                                          : nullptr;
}

QString TChecklistImportForm::PreviewText() const {
    return Tr("新規 %1 枚、変更 %2 枚、変更なし %3 枚")
        .arg(m_plan.New)
        .arg(m_plan.Changed)
        .arg(m_plan.Unchanged);
}

TColumnMapping TChecklistImportForm::CurrentMapping() const {
    TColumnMapping mapping;
    mapping.HasHeader = m_header->isChecked();
    for (QComboBox* box : m_columnBoxes)
        mapping.Columns.push_back(static_cast<TChecklistField>(box->currentData().toInt()));
    return mapping;
}

void TChecklistImportForm::UpdatePreview() {
    m_rows = ChecklistRowsOf(m_table, CurrentMapping());
    m_plan = PlanChecklistMerge(m_cards, m_rows);
    m_summary->setText(PreviewText());
    m_refused->clear();
    const std::size_t shown = std::min<std::size_t>(m_plan.Refused.size(), kShownRefusals);
    for (std::size_t i = 0; i < shown; ++i)
        m_refused->addItem(QString::fromStdString(RefusalText(m_plan.Refused[i])));
    if (m_plan.Refused.size() > shown)
        m_refused->addItem(Tr("ほか %1 行").arg(m_plan.Refused.size() - shown));
    m_buttons->button(QDialogButtonBox::Ok)->setEnabled(m_plan.ChangesAnything());
}
