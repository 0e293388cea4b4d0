#pragma once

#include <QByteArray>
#include <filesystem>
#include <memory>
#include <optional>

#include "cardlist/Common.h"
#include "checklist/ChecklistMerge.h"
#include "files/VastrelleError.h"

template <typename T>
class QPromise;

// What the checklist import dialog's preview is made from, copied so that the worker thread that
// makes it touches nothing of the dialog.
struct TChecklistPreviewJob {
    std::optional<std::filesystem::path> File;
    QByteArray Text;  // the pasted text in UTF-8, when there is no file
    TTableOptions Options;
    // A table read already: only the rows and the plan are made again.
    std::shared_ptr<const TTable> Table;
    // Kept while it fits the table's columns, guessed from the table otherwise.
    std::optional<TColumnMapping> Mapping;
    std::shared_ptr<const TCardInfos> Cards;
};

// The table, the mapping it was taken with, its rows and what they would do to the cards; or the
// failure of the read.
struct TChecklistPreview {
    std::shared_ptr<const TTable> Table;
    TColumnMapping Mapping;
    TChecklistRows Rows;
    TChecklistPlan Plan;
    std::optional<VastrelleError> Failure;
};

// The progress range of a read: permille of the bytes. Once the table is read the range becomes
// (0, 0) while the rows and the plan are made.
constexpr int kChecklistReadSteps = 1000;

// Makes the preview, meant for a worker thread. A cancelled promise stops the read at its next
// piece, or the work after it between its steps, and gets no result.
void MakeChecklistPreview(QPromise<std::shared_ptr<TChecklistPreview>>& promise,
                          const TChecklistPreviewJob& job);
