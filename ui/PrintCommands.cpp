#include "PrintCommands.h"

#include <QDate>
#include <QFileDialog>
#include <QMenu>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QPromise>
#include <QtConcurrent/QtConcurrentRun>
#include <numeric>

#include "CardFilterModel.h"
#include "Main.h"
#include "MessageBoxes.h"
#include "PrintOptionsDlg.h"
#include "QtText.h"

namespace {

QProgressDialog* MakeProgress(QWidget* parent, const QString& text) {
    auto* progress = new QProgressDialog(text, Tr("キャンセル"), 0, 0, parent);
    progress->setWindowTitle(ApplicationTitle());
    progress->setWindowModality(Qt::WindowModal);
    progress->setMinimumDuration(300);
    progress->setAutoReset(false);
    progress->setAutoClose(false);
    return progress;
}

}  // namespace

TPrintCommands::TPrintCommands(TVastrelleMainForm* form) : QObject(form), m_form(form) {
    connect(&m_pdf, &QFutureWatcher<QString>::finished, this, &TPrintCommands::PdfFinished);
}

TPrintCommands::~TPrintCommands() {
    if (m_pdf.isRunning()) {
        m_pdf.cancel();
        m_pdf.waitForFinished();
    }
}

void TPrintCommands::AddMenuItems(QMenu* menu) {
    menu->addSeparator();
    QAction* print = menu->addAction(Tr("印刷..."), this, &TPrintCommands::Print);
    print->setObjectName(QStringLiteral("PrintCards"));
    print->setShortcut(QKeySequence::Print);
    QAction* pdf = menu->addAction(Tr("PDF に書き出す..."), this, &TPrintCommands::ExportPdf);
    pdf->setObjectName(QStringLiteral("ExportPdf"));
    connect(menu, &QMenu::aboutToShow, this, [this, print, pdf] {
        for (QAction* action : {print, pdf}) action->setEnabled(m_form->IsCardTypeLoaded());
    });
}

TPrintJob TPrintCommands::MakeJob(const TPrintOptions& options) const {
    TPrintJob job;
    job.CardTypeName = FromCp932(m_form->CurrentCardTypeName());
    job.Date = QDate::currentDate().toString(QStringLiteral("yyyy/MM/dd"));
    job.StatusLine = m_form->StatusLineText();
    job.Options = options;
    std::vector<std::size_t> order;
    if (options.Kind == TPrintKind::Binder) {
        // A binder holds the whole set in card order, whatever the list shows at the moment.
        order.resize(m_form->Cards().size());
        std::iota(order.begin(), order.end(), std::size_t(0));
    } else {
        job.ShownCount = m_form->ShownCountText();
        const TCardFilterModel* filter = m_form->FilterModel();
        order.reserve(static_cast<std::size_t>(filter->rowCount()));
        for (int row = 0; row < filter->rowCount(); ++row)
            order.push_back(
                static_cast<std::size_t>(filter->index(row, 0).data(Qt::UserRole).toInt()));
    }
    job.Cards = MakePrintCards(m_form->Cards(), order, m_form->CardTypePaths().ImageFolder());
    return job;
}

std::optional<TPrintOptions> TPrintCommands::AskOptions() {
    if (!m_form->IsCardTypeLoaded()) return std::nullopt;
    // Made on first use, so that starting the program does not pay for them.
    if (!m_optionsDialog) m_optionsDialog = new TPrintOptionsForm(m_form);
    m_optionsDialog->SetOptions(m_options);
    if (m_optionsDialog->exec() != QDialog::Accepted) return std::nullopt;
    m_options = m_optionsDialog->Options();
    return m_options;
}

void TPrintCommands::PaintWithProgress(QPagedPaintDevice& device, const TPrintJob& job) {
    QProgressDialog* progress = MakeProgress(m_form, Tr("ページを組んでいます..."));
    PaintCardPages(device, job, [progress](int done, int pages) {
        progress->setMaximum(pages);
        progress->setValue(done);  // answers the events of a modal progress dialog
        return !progress->wasCanceled();
    });
    delete progress;
}

void TPrintCommands::Print() {
    RunGuarded(m_form, [this] {
        std::optional<TPrintOptions> options = AskOptions();
        if (!options) return;
        const TPrintJob job = MakeJob(*options);
        QPrinter printer(QPrinter::HighResolution);
        // Without a printer Qt prints to a file; its page size then follows the locale.
        if (printer.outputFormat() == QPrinter::PdfFormat)
            printer.setPageSize(QPageSize(QPageSize::A4));
        printer.setDocName(job.CardTypeName);
        QPrintPreviewDialog preview(&printer, m_form);
        preview.setObjectName(QStringLiteral("PrintPreview"));
        preview.setWindowTitle(Tr("印刷プレビュー"));
        connect(&preview, &QPrintPreviewDialog::paintRequested, this,
                [this, &job](QPrinter* device) { PaintWithProgress(*device, job); });
        preview.exec();
    });
}

void TPrintCommands::ExportPdf() {
    RunGuarded(m_form, [this] {
        if (m_pdf.isRunning()) return;
        std::optional<TPrintOptions> options = AskOptions();
        if (!options) return;
        if (!m_saveDialog) {
            // Qt's own dialog, as for the other exports, so that it answers the same everywhere.
            m_saveDialog = new QFileDialog(m_form);
            m_saveDialog->setObjectName(QStringLiteral("PdfSaveDialog"));
            m_saveDialog->setOption(QFileDialog::DontUseNativeDialog);
            m_saveDialog->setAcceptMode(QFileDialog::AcceptSave);
            m_saveDialog->setFileMode(QFileDialog::AnyFile);
            m_saveDialog->setNameFilter(Tr("PDF (*.pdf)"));
            m_saveDialog->setDefaultSuffix(QStringLiteral("pdf"));
        }
        m_saveDialog->selectFile(FromCp932(m_form->CurrentCardTypeName()) + QStringLiteral(".pdf"));
        if (m_saveDialog->exec() != QDialog::Accepted) return;
        const QStringList files = m_saveDialog->selectedFiles();
        if (!files.isEmpty()) StartPdf(files.front(), *options);
    });
}

bool TPrintCommands::StartPdf(const QString& file, const TPrintOptions& options) {
    if (m_pdf.isRunning()) return false;
    m_pdfProgress = MakeProgress(m_form, Tr("PDF を書き出しています..."));
    m_pdfProgress->setObjectName(QStringLiteral("PdfProgress"));
    connect(&m_pdf, &QFutureWatcher<QString>::progressRangeChanged, m_pdfProgress,
            &QProgressDialog::setRange);
    connect(&m_pdf, &QFutureWatcher<QString>::progressValueChanged, m_pdfProgress,
            &QProgressDialog::setValue);
    connect(m_pdfProgress, &QProgressDialog::canceled, &m_pdf, &QFutureWatcher<QString>::cancel);
    m_pdf.setFuture(QtConcurrent::run([file, job = MakeJob(options)](QPromise<QString>& promise) {
        promise.addResult(WriteCardPdf(file, job, [&promise](int done, int pages) {
            promise.setProgressRange(0, pages);
            promise.setProgressValue(done);
            return !promise.isCanceled();
        }));
    }));
    return true;
}

void TPrintCommands::PdfFinished() {
    delete m_pdfProgress;
    m_pdfProgress = nullptr;
    if (m_pdf.isCanceled() || m_pdf.future().resultCount() == 0) return;
    const QString failure = m_pdf.result();
    if (!failure.isEmpty()) ShowFailureReport(m_form, failure);
}
