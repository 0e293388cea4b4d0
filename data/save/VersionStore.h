#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "save/HistoryIndex.h"
#include "save/VersionSum.h"

// How a version folder holds its card list:
//   N/cardlist.zst       the whole file, compressed
//   N/cardlist.M.delta   against the card list of version M, the one after N (VersionDelta.h):
//                        a one-card change of a large card list costs a few hundred bytes
//   N/cardlist.dat       the whole file as it was, as earlier histories kept every version
// The newest version is always whole, and a version keeps its whole copy when the deltas behind
// it would otherwise grow too long (see NeedsWholeCopy), so that bringing a version back replays
// a bounded chain. Every compressed file carries the size and a checksum of the bytes it gives:
// a damaged file, or a delta put on the wrong version, is reported, never taken for the version.
// Deltas written before the spliced kind (one frame against the whole base) still read.

std::filesystem::path WholeVersionFile(const std::filesystem::path& cardTypeFolder, int number);
std::filesystem::path DeltaVersionFile(const std::filesystem::path& cardTypeFolder, int number,
                                       int base);
// Whether the version has its whole card list (compressed or as it was).
bool HasWholeCopy(const std::filesystem::path& cardTypeFolder, int number);

// N/cardlist.sum: the size and a 64-bit hash of version N's card list, so that telling whether
// the card list file is the current version reads that file once instead of bringing the
// version back.
std::filesystem::path VersionSumFile(const std::filesystem::path& cardTypeFolder, int number);
// The sum of a file of that kind (the identity hash, or the earlier kind's), read a block at a
// time; nullopt when it does not read.
std::optional<TVersionSumValue> SumOfFile(const std::filesystem::path& file, bool identity = true);

// The card list of a version the index names, byte for byte. Throws VastrelleError when a file
// it needs is missing or damaged.
std::string ReadVersionBytes(const std::filesystem::path& cardTypeFolder,
                             const THistoryIndex& index, int number);

// Whether the card list file holds the bytes of the index's current version; false when the
// card list was changed outside the history (by hand, by an older version of the program), after
// a save was killed between the card list and the index, or when either does not read.
// `known`: the card list file's identity sum, when the caller has it from a read under the lock;
// the file is then not read again.
bool IsCurrentVersion(const std::filesystem::path& cardTypeFolder, const THistoryIndex& index,
                      const std::filesystem::path& cardListFile,
                      const std::optional<TVersionSumValue>& known = std::nullopt);

// Where in index.Versions the card list file is: the current version, or a neighbour of it that
// an undo or redo killed between writing the card list and the index had brought back; nullopt
// after a change outside the history.
std::optional<std::size_t> CardListVersion(
    const std::filesystem::path& cardTypeFolder, const THistoryIndex& index,
    const std::filesystem::path& cardListFile,
    const std::optional<TVersionSumValue>& known = std::nullopt);

// Removes from the version's folder what the index no longer needs: deltas against versions that
// are not the one after it, and with `whole`, its whole copy once it has a delta against that
// version and need not keep one. Failures are ignored: what stays is removed next time. (A whole
// copy left by a kill stays: it is then kept like any other, and the choice stays the same.)
void DropReplacedCopies(const std::filesystem::path& cardTypeFolder, const THistoryIndex& index,
                        int number, bool whole) noexcept;

// A whole copy every so often: once this many deltas would lie between a version and the next
// whole copy, or once they add up to more than half of it. The count lies above the versions
// kept, so that small changes keep one whole copy only (a 100,000-card list's is 2.8 MB).
inline constexpr std::size_t kMaxDeltaChain = 64;
// Whether `number`, about to become a delta, keeps its whole copy by that rule.
bool NeedsWholeCopy(const std::filesystem::path& cardTypeFolder, const THistoryIndex& index,
                    int number);
