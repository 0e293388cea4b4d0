#include "save/VersionStore.h"

#include <sys/stat.h>

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "cardlist/CardListIdentity.h"
#include "files/AtomicFile.h"
#include "files/FileOps.h"
#include "files/Messages.h"
#include "files/VastrelleError.h"
#include "files/WholeFile.h"
#include "save/VersionDelta.h"
#include "save/ZstdFrames.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kDamagedVersion = "履歴の版 %s が壊れているため戻せません";

[[noreturn]] void ThrowDamaged(int number) {
    throw VastrelleError(FormatMessage(kDamagedVersion, std::to_string(number)));
}

bool Exists(const fs::path& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

std::uint64_t FileSize(const fs::path& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
}

// The whole card list of a version that has one.
std::optional<std::string> ReadWhole(const fs::path& cardTypeFolder, int number) {
    if (Exists(VersionCardList(cardTypeFolder, number)))
        return ReadWholeFile(VersionCardList(cardTypeFolder, number));
    const std::optional<TFileBytes> frame =
        ReadFileAtSize(WholeVersionFile(cardTypeFolder, number));
    if (!frame) return std::nullopt;
    return DecompressFrame(frame->View());
}

}  // namespace

fs::path VersionSumFile(const fs::path& cardTypeFolder, int number) {
    return VersionFolder(cardTypeFolder, number) / "cardlist.sum";
}

std::optional<TVersionSumValue> SumOfFile(const fs::path& file, bool identity) {
    struct stat status {};
    std::optional<TVersionSummer> summer;
    TCardListHasher hasher;
    std::uint64_t size = 0;
    const bool read = ReadFileInPieces(
        file,
        [&](std::string_view piece) {
            size += piece.size();
            if (identity) {
                hasher.Add(piece);
                return true;
            }
            if (!summer) summer.emplace(static_cast<std::size_t>(status.st_size));
            summer->Add(piece);
            return true;
        },
        &status);
    if (!read) return std::nullopt;
    if (identity) return TVersionSumValue{size, hasher.Value(), true};
    if (!summer) summer.emplace(0);
    return ParseVersionSum(summer->Text());
}

fs::path WholeVersionFile(const fs::path& cardTypeFolder, int number) {
    return VersionFolder(cardTypeFolder, number) / "cardlist.zst";
}

fs::path DeltaVersionFile(const fs::path& cardTypeFolder, int number, int base) {
    return VersionFolder(cardTypeFolder, number) / ("cardlist." + std::to_string(base) + ".delta");
}

bool HasWholeCopy(const fs::path& cardTypeFolder, int number) {
    return Exists(WholeVersionFile(cardTypeFolder, number)) ||
           Exists(VersionCardList(cardTypeFolder, number));
}

std::string ReadVersionBytes(const fs::path& cardTypeFolder, const THistoryIndex& index,
                             int number) {
    const std::optional<std::size_t> at = index.Find(number);
    if (!at) ThrowDamaged(number);
    // The chain up to the first version after it that is whole.
    std::size_t end = *at;
    while (!HasWholeCopy(cardTypeFolder, index.Versions[end].Number)) {
        if (end + 1 >= index.Versions.size()) ThrowDamaged(number);
        ++end;
    }
    std::optional<std::string> bytes = ReadWhole(cardTypeFolder, index.Versions[end].Number);
    if (!bytes) ThrowDamaged(index.Versions[end].Number);
    std::optional<TVersionSumValue> sum;  // of `bytes`, once a spliced delta needs it
    bool spliced = false;                 // since `bytes` were last hashed
    for (std::size_t i = end; i > *at; --i) {
        const int version = index.Versions[i - 1].Number;
        const std::optional<TFileBytes> delta =
            ReadFileAtSize(DeltaVersionFile(cardTypeFolder, version, index.Versions[i].Number));
        if (!delta) ThrowDamaged(version);
        if (IsSplicedDelta(delta->View())) {
            // Spliced in place: the bytes are hashed where a chain of splices starts and ends.
            if (!sum) sum = IdentitySum(*bytes);
            if (!sum || !ApplySplicedDelta(delta->View(), *bytes, *sum)) ThrowDamaged(version);
            spliced = true;
            continue;
        }
        if (spliced && IdentitySum(*bytes) != sum) ThrowDamaged(version);
        spliced = false;
        bytes = DecompressFrame(delta->View(), *bytes);
        if (!bytes) ThrowDamaged(version);
        sum.reset();
    }
    if (spliced && IdentitySum(*bytes) != sum) ThrowDamaged(number);
    return std::move(*bytes);
}

bool IsCurrentVersion(const fs::path& cardTypeFolder, const THistoryIndex& index,
                      const fs::path& cardListFile, const std::optional<TVersionSumValue>& known) {
    if (!index.Current()) return false;
    // Taken for an outside change, a file that did not read would be recorded and brought back
    // in place of the version it is: a file that is there but does not read is a failure.
    auto unreadable = [](const fs::path& file) {
        return VastrelleError(FormatMessage(msg::kCannotOpen, file.string()));
    };
    const fs::path legacy = VersionCardList(cardTypeFolder, index.Position);
    if (Exists(legacy)) {
        // Compared a block at a time: most outside changes show in the size alone.
        switch (CompareFileBytes(legacy, cardListFile)) {
            case TFileComparison::Same:
                return true;
            case TFileComparison::Different:
                return false;
            case TFileComparison::FirstUnreadable:
                throw unreadable(legacy);
            case TFileComparison::SecondUnreadable:
                break;
        }
        throw unreadable(cardListFile);
    }
    const fs::path sumFile = VersionSumFile(cardTypeFolder, index.Position);
    if (const std::optional<std::string> text = ReadWholeFile(sumFile)) {
        const std::optional<TVersionSumValue> sum = ParseVersionSum(*text);
        if (!sum) return false;  // a damaged sum: the card list is recorded as found
        if (known && sum->Identity) return *known == *sum;
        // Summed a block at a time: the card list is never held whole for this.
        const std::optional<TVersionSumValue> fileSum = SumOfFile(cardListFile, sum->Identity);
        if (!fileSum && IsFileThere(cardListFile)) throw unreadable(cardListFile);
        return fileSum == sum;
    }
    if (IsFileThere(sumFile)) throw unreadable(sumFile);
    const std::optional<TFileBytes> file = ReadFileAtSize(cardListFile);
    if (!file) {
        if (IsFileThere(cardListFile)) throw unreadable(cardListFile);
        return false;
    }
    try {
        return ReadVersionBytes(cardTypeFolder, index, index.Position) == file->View();
    } catch (const VastrelleError&) {
        // A damaged version is left alone: the card list is then recorded as found.
        return false;
    }
}

std::optional<std::size_t> CardListVersion(const fs::path& cardTypeFolder,
                                           const THistoryIndex& index, const fs::path& cardListFile,
                                           const std::optional<TVersionSumValue>& known) {
    const std::optional<std::size_t> current = index.Current();
    if (!current) return std::nullopt;
    if (IsCurrentVersion(cardTypeFolder, index, cardListFile, known)) return current;
    // Below the first version the index wraps round past the last.
    for (std::size_t neighbour : {*current - 1, *current + 1}) {
        if (neighbour >= index.Versions.size()) continue;
        THistoryIndex moved = index;
        moved.Position = index.Versions[neighbour].Number;
        if (IsCurrentVersion(cardTypeFolder, moved, cardListFile, known)) return neighbour;
    }
    return std::nullopt;
}

bool NeedsWholeCopy(const fs::path& cardTypeFolder, const THistoryIndex& index, int number) {
    const std::optional<std::size_t> at = index.Find(number);
    if (!at || !HasWholeCopy(cardTypeFolder, number)) return true;
    // An earlier history's plain copy is measured as it is: it goes once a delta replaces it.
    const fs::path zst = WholeVersionFile(cardTypeFolder, number);
    const std::uint64_t wholeBytes =
        Exists(zst) ? FileSize(zst) : FileSize(VersionCardList(cardTypeFolder, number));
    std::size_t chain = 1;
    std::uint64_t deltaBytes = 0;
    for (std::size_t i = *at; i-- > 0;) {
        const int version = index.Versions[i].Number;
        if (HasWholeCopy(cardTypeFolder, version)) break;
        ++chain;
        deltaBytes +=
            FileSize(DeltaVersionFile(cardTypeFolder, version, index.Versions[i + 1].Number));
    }
    return chain >= kMaxDeltaChain || deltaBytes > wholeBytes / 2;
}

void DropReplacedCopies(const fs::path& cardTypeFolder, const THistoryIndex& index, int number,
                        bool whole) noexcept {
    try {
        const std::optional<std::size_t> at = index.Find(number);
        if (!at) return;
        const fs::path folder = VersionFolder(cardTypeFolder, number);
        std::optional<fs::path> delta;
        if (*at + 1 < index.Versions.size())
            delta = DeltaVersionFile(cardTypeFolder, number, index.Versions[*at + 1].Number);
        std::vector<fs::path> replaced;
        std::error_code ec;
        for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
            const std::string name = it->path().filename().native();
            if (name.starts_with("cardlist.") && name.ends_with(".delta") && it->path() != delta)
                replaced.push_back(it->path());
        }
        if (whole && delta && Exists(*delta) && !NeedsWholeCopy(cardTypeFolder, index, number)) {
            replaced.push_back(WholeVersionFile(cardTypeFolder, number));
            replaced.push_back(VersionCardList(cardTypeFolder, number));
        }
        // Not flushed: a removal that a power cut undoes leaves a whole copy that still reads as
        // this version, or a delta no version names, until the folder goes.
        for (const fs::path& path : replaced)
            if (Exists(path)) fileops::Unlink(path);
    } catch (...) {
    }
}
