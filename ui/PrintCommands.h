#pragma once

#include <QFutureWatcher>
#include <QObject>
#include <QString>
#include <QThreadPool>
#include <optional>

#include "CardPrint.h"

class QFileDialog;
class QMenu;
class QPagedPaintDevice;
class QProgressDialog;
class TPrintOptionsForm;
class TVastrelleMainForm;

// メニュー → 印刷... and PDF に書き出す...: the loaded card type's checklist as the list shows it,
// filtered and sorted, or its binder pages. A PDF is written off the GUI thread; printing paints
// under a progress dialog.
class TPrintCommands : public QObject {
    Q_OBJECT
public:
    explicit TPrintCommands(TVastrelleMainForm* form);
    // Waits for a PDF still being written, so that no thread outlives the window.
    ~TPrintCommands() override;

    // A separator, 印刷... and PDF に書き出す... at the end of `menu`, enabled while a card type
    // is loaded.
    void AddMenuItems(QMenu* menu);
    // A checklist of the list's cards in the order shown, or binder pages of every card in card
    // order, with the header texts of the moment.
    TPrintJob MakeJob(const TPrintOptions& options) const;
    // Starts writing the PDF in the background; false when one is being written already.
    bool StartPdf(const QString& file, const TPrintOptions& options);
    // The PDF being written, for tests and for waiting.
    QFutureWatcher<QString>& PdfWatcher() { return m_pdf; }

public slots:
    void Print();
    void ExportPdf();

private:
    std::optional<TPrintOptions> AskOptions();
    // Paints the job on the GUI thread; the progress dialog keeps the window painting.
    void PaintWithProgress(QPagedPaintDevice& device, const TPrintJob& job);
    void PdfFinished();

    TVastrelleMainForm* m_form;
    TPrintOptionsForm* m_optionsDialog = nullptr;
    QFileDialog* m_saveDialog = nullptr;
    QProgressDialog* m_pdfProgress = nullptr;
    // A pool of our own, so that its thread ends with the window rather than at process exit.
    QThreadPool m_pool;
    QFutureWatcher<QString> m_pdf;
    TPrintOptions m_options;
};
