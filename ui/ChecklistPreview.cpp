#include "ChecklistPreview.h"

#include <QPromise>
#include <algorithm>

void MakeChecklistPreview(QPromise<std::shared_ptr<TChecklistPreview>>& promise,
                          const TChecklistPreviewJob& job) {
    auto preview = std::make_shared<TChecklistPreview>();
    try {
        preview->Table = job.Table;
        if (!preview->Table) {
            promise.setProgressRange(0, kChecklistReadSteps);
            const TTableProgress progress = [&promise](std::uint64_t done, std::uint64_t total) {
                promise.setProgressValue(static_cast<int>(done * kChecklistReadSteps /
                                                          std::max<std::uint64_t>(total, 1)));
                return !promise.isCanceled();
            };
            std::optional<TTable> table =
                job.File
                    ? ReadTableFile(*job.File, job.Options, progress)
                    : ReadTableText(std::string_view(job.Text.constData(),
                                                     static_cast<std::size_t>(job.Text.size())),
                                    job.Options, progress);
            if (!table) return;
            preview->Table = std::make_shared<const TTable>(std::move(*table));
        }
        promise.setProgressRange(0, 0);
        const TTable& table = *preview->Table;
        preview->Mapping = job.Mapping && job.Mapping->Columns.size() == table.ColumnCount()
                               ? *job.Mapping
                               : GuessMapping(table);
        if (promise.isCanceled()) return;
        preview->Rows = ChecklistRowsOf(table, preview->Mapping);
        if (promise.isCanceled()) return;
        preview->Plan = PlanChecklistMerge(*job.Cards, preview->Rows);
    } catch (const VastrelleError& error) {
        preview->Failure = error;
    } catch (const std::exception& error) {
        preview->Failure = VastrelleError(error.what());
    }
    if (!promise.isCanceled()) promise.addResult(std::move(preview));
}
