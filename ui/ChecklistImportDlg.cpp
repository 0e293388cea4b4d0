#include "ChecklistImportDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QFutureWatcher>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPromise>
#include <QPushButton>
#include <QTableWidget>
#include <QThreadPool>
#include <QTimer>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

#include "ChecklistPreview.h"
#include "MessageBoxes.h"
#include "QtText.h"
#include "WaitCursor.h"

namespace {

constexpr int kShownRows = 20;
constexpr int kShownRefusals = 500;
// A read that ends sooner shows no progress.
constexpr int kProgressDelayMs = 150;
// Up to about 13,000 rows, or 15,000 rows to preview again, take a few tens of milliseconds:
// done at once, they need no thread and leave no empty dialog in between.
constexpr std::uintmax_t kAtOnceBytes = 512 << 10;
constexpr std::size_t kAtOnceRows = 15'000;
constexpr const char* kReading = "読み込んでいます...";
constexpr const char* kChecking = "取り込む内容を確かめています...";

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
    m_progress = new QProgressBar(this);
    m_progress->setAccessibleName(Tr("読み込みの進み具合"));
    m_progress->setTextVisible(false);
    m_progress->hide();
    auto* summary = new QHBoxLayout;
    summary->addWidget(m_summary, 1);
    summary->addWidget(m_progress, 1);
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
    layout->addLayout(summary);
    layout->addWidget(refusedLabel);
    layout->addWidget(m_refused);
    layout->addWidget(m_buttons);

    // One worker, so that a job given up runs out before the next starts and is waited for when
    // the dialog goes.
    m_pool = new QThreadPool(this);
    m_pool->setMaxThreadCount(1);
    m_watcher = new QFutureWatcher<std::shared_ptr<TChecklistPreview>>(this);
    m_progressDelay = new QTimer(this);
    m_progressDelay->setSingleShot(true);
    m_progressDelay->setInterval(kProgressDelayMs);
    m_table = std::make_shared<const TTable>();
    m_cards = std::make_shared<const TCardInfos>();

    connect(m_buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_encoding, &QComboBox::currentIndexChanged, this, [this] {
        if (!m_updating) ChoiceChanged(true);
    });
    connect(m_delimiter, &QComboBox::currentIndexChanged, this, [this] {
        if (!m_updating) ChoiceChanged(false);
    });
    connect(m_header, &QCheckBox::toggled, this, [this] {
        if (!m_updating) UpdatePreview();
    });
    connect(m_watcher, &QFutureWatcherBase::finished, this, &TChecklistImportForm::Finished);
    connect(m_watcher, &QFutureWatcherBase::progressRangeChanged, this, [this](int min, int max) {
        m_progress->setRange(min, max);
        ShowProgress();
    });
    connect(m_watcher, &QFutureWatcherBase::progressValueChanged, m_progress,
            &QProgressBar::setValue);
    connect(m_progressDelay, &QTimer::timeout, this, [this] {
        m_progress->show();
        ShowProgress();
    });
}

TChecklistImportForm::~TChecklistImportForm() {
    m_watcher->cancel();
    m_pool->waitForDone();
}

void TChecklistImportForm::SetFile(const std::filesystem::path& file, const TCardInfos& cards) {
    m_file = file;
    m_text.clear();
    SetSource(cards);
}

void TChecklistImportForm::SetText(const QString& text, const TCardInfos& cards) {
    m_file.reset();
    m_text = text.toUtf8();
    SetSource(cards);
}

// Forgets the last table, so that nothing of it shows or imports while the new one is read.
void TChecklistImportForm::SetSource(const TCardInfos& cards) {
    m_cards = std::make_shared<const TCardInfos>(cards);
    m_options = {};
    ReleasePreview(true);
    ShowTable();
    m_summary->clear();
    m_refused->clear();
    std::shared_ptr<TChecklistPreview> preview = Reload(std::nullopt);
    if (preview && preview->Failure) throw *preview->Failure;
    if (preview) Deliver(*preview, TJob::Read);
}

// Reads the table again with the user's choices, keeping the columns' fields while they fit.
std::shared_ptr<TChecklistPreview> TChecklistImportForm::Reload(
    std::optional<TColumnMapping> mapping) {
    TChecklistPreviewJob job;
    job.File = m_file;
    job.Text = m_text;
    job.Options = m_options;
    job.Mapping = std::move(mapping);
    job.Cards = m_cards;
    return Start(std::move(job), TJob::Read);
}

// Once a table is shown, choosing one option keeps the other as the box shows it (detected);
// while the first read runs, the other box shows nothing of this file yet.
void TChecklistImportForm::ChoiceChanged(bool encoding) {
    const bool shown = m_job != TJob::Read;
    if (m_file && (encoding || shown))
        m_options.Encoding = static_cast<TTableEncoding>(m_encoding->currentData().toInt());
    if (!encoding || shown)
        m_options.Delimiter = static_cast<TTableDelimiter>(m_delimiter->currentData().toInt());
    if (std::shared_ptr<TChecklistPreview> preview = Reload(CurrentMapping()))
        Deliver(*preview, TJob::Read);
}

void TChecklistImportForm::UpdatePreview() {
    if (m_job == TJob::Read) return;  // the read under way makes its own
    TChecklistPreviewJob job;
    job.Table = m_table;
    job.Mapping = CurrentMapping();
    job.Cards = m_cards;
    if (std::shared_ptr<TChecklistPreview> preview = Start(std::move(job), TJob::Preview))
        Deliver(*preview, TJob::Preview);
}

bool TChecklistImportForm::IsSmall(const TChecklistPreviewJob& job) {
    if (job.Table) return job.Table->RowCount() <= kAtOnceRows;
    if (!job.File) return static_cast<std::uintmax_t>(job.Text.size()) <= kAtOnceBytes;
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(*job.File, error);
    return error || size <= kAtOnceBytes;  // one that cannot be sized fails at once
}

// A small job is done at once and its preview returned; a larger one goes to the worker and
// its preview arrives in Finished. The job under way is given up either way: it stops at its
// next step and its result never arrives.
std::shared_ptr<TChecklistPreview> TChecklistImportForm::Start(TChecklistPreviewJob job,
                                                               TJob kind) {
    m_watcher->cancel();
    if (IsSmall(job)) {
        Stop();
        TWaitCursor wait;
        QPromise<std::shared_ptr<TChecklistPreview>> promise;
        promise.start();
        MakeChecklistPreview(promise, job);
        promise.finish();
        return promise.future().result();
    }
    const bool focusMoves = kind == TJob::Read && m_job != TJob::Read;
    if (focusMoves) m_focusBeforeRead = focusWidget();
    m_job = kind;
    UpdateControls();
    if (focusMoves) m_focusMovedTo = focusWidget();
    m_progress->setRange(0, kChecklistReadSteps);
    m_progress->setValue(0);
    if (m_progress->isHidden()) m_progressDelay->start();
    m_watcher->setFuture(QtConcurrent::run(m_pool, MakeChecklistPreview, std::move(job)));
    return nullptr;
}

void TChecklistImportForm::Stop() {
    if (m_job == TJob::None) return;
    m_watcher->cancel();
    m_job = TJob::None;
    UpdateControls();
    m_summary->clear();
}

void TChecklistImportForm::done(int result) {
    if (result == QDialog::Accepted && m_job != TJob::None) return;
    Stop();
    QDialog::done(result);
}

void TChecklistImportForm::Finished() {
    if (m_job == TJob::None || m_watcher->isCanceled() || m_watcher->future().resultCount() == 0)
        return;
    const TJob job = std::exchange(m_job, TJob::None);
    Deliver(*m_watcher->result(), job);
}

void TChecklistImportForm::Deliver(TChecklistPreview& preview, TJob job) {
    UpdateControls();
    if (preview.Failure) {
        // Nothing can be imported from a file that does not read: said as the window says it,
        // and the dialog closes.
        m_summary->clear();
        ShowError(this, *preview.Failure);
        reject();
        return;
    }
    ReleasePreview(job == TJob::Read);
    if (job == TJob::Read) Show(preview);
    m_rows = std::move(preview.Rows);
    m_plan = std::move(preview.Plan);
    ShowPlan();
}

// Freeing the rows and cards of a million-row preview takes longer than a frame, so the worker
// frees a large one (after the work already given to it). The table goes too when `table`.
void TChecklistImportForm::ReleasePreview(bool table) {
    struct TReleased {
        TChecklistRows Rows;
        TChecklistPlan Plan;
        std::shared_ptr<const TTable> Table;
    };
    auto released = std::make_shared<TReleased>();
    released->Rows = std::exchange(m_rows, {});
    released->Plan = std::exchange(m_plan, {});
    if (table) released->Table = std::exchange(m_table, std::make_shared<const TTable>());
    if (released->Rows.Rows.size() + released->Plan.Cards.size() > kAtOnceRows)
        m_pool->start([released]() mutable { released.reset(); });
}

// A table read: its options as read or detected, its columns with the fields of the mapping.
void TChecklistImportForm::Show(TChecklistPreview& preview) {
    m_table = std::move(preview.Table);
    m_updating = true;
    m_encoding->setCurrentIndex(m_encoding->findData(static_cast<int>(m_table->Encoding)));
    m_delimiter->setCurrentIndex(m_delimiter->findData(static_cast<int>(m_table->Delimiter)));
    m_header->setChecked(preview.Mapping.HasHeader);
    ShowTable();
    for (std::size_t column = 0; column < m_columnBoxes.size(); ++column) {
        QComboBox* box = m_columnBoxes[column];
        box->setCurrentIndex(box->findData(static_cast<int>(preview.Mapping.Columns[column])));
    }
    m_updating = false;
}

void TChecklistImportForm::ShowProgress() {
    if (m_job != TJob::None && !m_progress->isHidden())
        m_summary->setText(Tr(m_progress->maximum() == 0 ? kChecking : kReading));
}

// While a table is read its options and columns cannot be chosen, and nothing is imported
// before the preview matches what the boxes show.
void TChecklistImportForm::UpdateControls() {
    const bool reading = m_job == TJob::Read;
    m_encoding->setEnabled(m_file.has_value() && !reading);  // the clipboard gives no bytes
    m_delimiter->setEnabled(!reading);
    m_header->setEnabled(!reading);
    m_grid->setEnabled(!reading);
    m_buttons->button(QDialogButtonBox::Ok)
        ->setEnabled(m_job == TJob::None && m_plan.ChangesAnything());
    if (m_job != TJob::None) {
        setCursor(Qt::BusyCursor);
        return;
    }
    unsetCursor();
    m_progressDelay->stop();
    m_progress->hide();
    // The box just chosen with the keyboard was disabled for the read: it gets the focus back,
    // unless the user has moved it since.
    if (m_focusBeforeRead && m_focusBeforeRead->isEnabled() && focusWidget() == m_focusMovedTo)
        m_focusBeforeRead->setFocus();
    m_focusBeforeRead = m_focusMovedTo = nullptr;
}

void TChecklistImportForm::ShowTable() {
    const int columns = static_cast<int>(m_table->ColumnCount());
    const int rows = static_cast<int>(std::min<std::size_t>(m_table->RowCount(), kShownRows));
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
                            new QTableWidgetItem(FromUtf8View(m_table->Cell(row, column))));
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

void TChecklistImportForm::ShowPlan() {
    m_summary->setText(PreviewText());
    m_refused->clear();
    const std::size_t shown = std::min<std::size_t>(m_plan.Refused.size(), kShownRefusals);
    for (std::size_t i = 0; i < shown; ++i)
        m_refused->addItem(QString::fromStdString(RefusalText(m_plan.Refused[i])));
    if (m_plan.Refused.size() > shown)
        m_refused->addItem(Tr("ほか %1 行").arg(m_plan.Refused.size() - shown));
    UpdateControls();
}
