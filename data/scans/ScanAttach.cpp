#include "scans/ScanAttach.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <exception>
#include <thread>

#include "cardlist/CardList.h"
#include "cardlist/CardListIdentity.h"
#include "cardtypes/CardTypes.h"
#include "files/Messages.h"
#include "files/VastrelleError.h"
#include "files/WholeFile.h"
#include "save/CardStore.h"
#include "save/CardTypeLock.h"

namespace fs = std::filesystem;

namespace {

TPreparedScan PrepareScan(const TScanFile& file) {
    std::optional<std::string> bytes = ReadWholeFile(file.Path);
    if (!bytes) throw VastrelleError(FormatMessage(msg::kCannotOpen, file.Path.string()));
    try {
        auto thumbnails = std::make_shared<const TThumbnailFiles>(
            MakeThumbnailFiles(*bytes, nullptr, file.Path.parent_path(), file.Name));
        return {std::move(*bytes), std::move(thumbnails)};
    } catch (const VastrelleError& e) {
        // Among hundreds of scans the message must say which one.
        throw VastrelleError(file.Path.filename().string() + ": " + e.what());
    }
}

}  // namespace

std::optional<TPreparedScans> PrepareScans(const std::vector<TScanFile>& files, unsigned threads,
                                           TScanProgress* progress) {
    if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
    threads = static_cast<unsigned>(
        std::min<std::size_t>(threads, std::max<std::size_t>(files.size(), 1)));
    std::vector<TPreparedScan> results(files.size());
    std::vector<std::exception_ptr> failures(files.size());
    std::atomic<std::size_t> next{0};
    std::atomic<bool> failed{false};
    auto work = [&] {
        for (;;) {
            if (failed || (progress && progress->Cancel)) return;
            const std::size_t i = next++;
            if (i >= files.size()) return;
            try {
                results[i] = PrepareScan(files[i]);
            } catch (...) {
                failures[i] = std::current_exception();
                failed = true;
            }
            if (progress) ++progress->Done;
        }
    };
    const bool background = progress && progress->Background;
    {
        std::vector<std::jthread> pool;
        for (unsigned t = background ? 0 : 1; t < threads; ++t)
            pool.emplace_back([&work, background] {
                // A new thread's own nice value (Linux keeps one per thread); failing is harmless.
                if (background) (void)setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 10);
                work();
            });
        if (!background) work();
    }
    for (const std::exception_ptr& failure : failures)
        if (failure) std::rethrow_exception(failure);
    if (progress && progress->Cancel) return std::nullopt;
    TPreparedScans prepared;
    for (std::size_t i = 0; i < files.size(); ++i)
        prepared.emplace(files[i].Path, std::move(results[i]));
    return prepared;
}

TAttachResult AttachScans(const fs::path& cardTypeFolder, const fs::path& scanFolder,
                          TScanOptions options, TPreparedScans prepared) {
    // Planned from the card list as it is now, with no other writer until the save is done.
    TCardTypeLock lock(cardTypeFolder);
    TAttachResult result;
    TCardInfos cards;
    ReadCardList(cardTypeFolder / kCardListFileName, cards, &result.Cards.Identity);
    result.Plan = PlanScans(cards, cardTypeFolder / kImageFolderName, scanFolder, options);
    const std::vector<TScanFile> files = result.Plan.TakenFiles();
    if (files.empty()) {
        result.Cards.Cards = std::move(cards);
        return result;
    }

    std::vector<TScanFile> missing;
    for (const TScanFile& file : files)
        if (!prepared.count(file.Path)) missing.push_back(file);
    if (!missing.empty()) prepared.merge(*PrepareScans(missing, 0));

    TCardChange change;
    change.ReplacedStatus =
        StatusLineText(static_cast<std::size_t>(std::count_if(
                           cards.begin(), cards.end(), [](const TCardInfo& c) { return c.Owned; })),
                       cards.size());
    for (const TScanCard& card : result.Plan.Cards)
        for (const TScanSideFile* side : {&card.Front, &card.Back})
            if (side->Taken && !side->Current.empty() && side->Current != side->File->Name)
                change.Released.push_back(side->Current);
    for (const TScanFile& file : files) {
        TPreparedScan& scan = prepared.at(file.Path);
        change.Pictures.push_back({file.Name, std::move(scan.Bytes), nullptr, scan.Thumbnails});
    }
    change.Cards = ApplyScanPlan(std::move(cards), result.Plan);
    SaveCardChange(cardTypeFolder, change);
    result.Cards = {std::move(change.Cards),
                    CardListIdentityOf(cardTypeFolder / kCardListFileName)};
    result.Written = true;
    return result;
}
