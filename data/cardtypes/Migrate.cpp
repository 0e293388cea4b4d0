#include "cardtypes/Migrate.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <set>

#include "cardlist/CardList.h"
#include "cardtypes/CardTypes.h"
#include "cardtypes/FolderRename.h"
#include "files/FileOps.h"
#include "files/Messages.h"
#include "files/VastrelleError.h"
#include "text/Cp932.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kCannotRename = "%s の名前を変更できません";

// Length of the well-formed UTF-8 sequence at pos, 0 when there is none.
std::size_t Utf8SequenceLength(const std::string& s, std::size_t pos) {
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    unsigned char c = byte(pos);
    if (c < 0x80) return 1;
    std::size_t n;
    unsigned char low = 0x80, high = 0xBF;
    if (c >= 0xC2 && c <= 0xDF) {
        n = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
        if (c == 0xE0) low = 0xA0;   // overlong
        if (c == 0xED) high = 0x9F;  // surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
        if (c == 0xF0) low = 0x90;
        if (c == 0xF4) high = 0x8F;  // past U+10FFFF
    } else {
        return 0;
    }
    if (pos + n > s.size()) return 0;
    if (byte(pos + 1) < low || byte(pos + 1) > high) return 0;
    for (std::size_t i = 2; i < n; ++i)
        if (byte(pos + i) < 0x80 || byte(pos + i) > 0xBF) return 0;
    return n;
}

bool IsCandidateFolder(const fs::path& folder) {
    std::error_code ec;
    if (folder.filename().native().starts_with('.')) return false;
    if (!fs::is_directory(fs::symlink_status(folder, ec))) return false;
    return fs::is_regular_file(fs::symlink_status(folder / kCardListFileName, ec));
}

// Plans renaming `from` to its UTF-8 form in toParent, or records why it cannot be.
void PlanRename(TCardTypeMigration& plan, const fs::path& from, const fs::path& toParent,
                std::set<fs::path>& targets) {
    auto utf8 = cp932::ToUtf8(from.filename().native());
    if (!utf8 || utf8->empty()) {
        plan.Unconvertible.push_back(from);
        return;
    }
    TNameRename rename{from, toParent / *utf8};
    std::error_code ec;
    // Two names that convert alike (CP932 has a few characters twice) must not meet either.
    if (fs::exists(fs::symlink_status(rename.To, ec)) || !targets.insert(rename.To).second)
        plan.Conflicts.push_back(rename);
    else
        plan.Renames.push_back(rename);
}

TCardTypeMigration PlanCardType(const fs::path& folder) {
    TCardTypeMigration plan;
    plan.Folder = folder;
    plan.NewFolder = folder;
    std::set<fs::path> targets;
    const fs::path imageFolder = folder / kImageFolderName;
    std::vector<fs::path> pictures;
    if (fileops::ListFolder(imageFolder, pictures) != 0 && errno != ENOENT)
        throw VastrelleError(FormatMessage(msg::kCannotOpen, EscapedName(imageFolder.string())));
    std::erase_if(pictures,
                  [](const fs::path& picture) { return IsValidUtf8(picture.filename().native()); });
    std::sort(pictures.begin(), pictures.end());
    for (const fs::path& picture : pictures) PlanRename(plan, picture, imageFolder, targets);

    if (!IsValidUtf8(folder.filename().native())) {
        std::size_t before = plan.Renames.size();
        PlanRename(plan, folder, folder.parent_path(), targets);
        if (plan.Renames.size() > before) plan.NewFolder = plan.Renames.back().To;
    }
    return plan;
}

}  // namespace

bool IsValidUtf8(const std::string& bytes) {
    for (std::size_t pos = 0; pos < bytes.size();) {
        std::size_t n = Utf8SequenceLength(bytes, pos);
        if (n == 0) return false;
        pos += n;
    }
    return true;
}

std::string EscapedName(const std::string& bytes) {
    std::string out;
    for (std::size_t pos = 0; pos < bytes.size();) {
        std::size_t n = Utf8SequenceLength(bytes, pos);
        unsigned char c = static_cast<unsigned char>(bytes[pos]);
        if (n > 1 || (n == 1 && c >= 0x20 && c != 0x7F && c != '\\')) {
            out.append(bytes, pos, n);
            pos += n;
            continue;
        }
        char hex[5];
        std::snprintf(hex, sizeof hex, "\\x%02x", c);
        out += hex;
        ++pos;
    }
    return out;
}

std::vector<TCardTypeMigration> PlanMigration(const fs::path& programFolder) {
    std::vector<fs::path> folders;
    if (fileops::ListFolder(programFolder, folders) != 0 && errno != ENOENT)
        throw VastrelleError(FormatMessage(msg::kCannotOpen, EscapedName(programFolder.string())));
    std::erase_if(folders, [](const fs::path& folder) { return !IsCandidateFolder(folder); });
    std::sort(folders.begin(), folders.end());

    std::vector<TCardTypeMigration> plans;
    for (const fs::path& folder : folders) {
        TCardTypeMigration plan = PlanCardType(folder);
        if (!plan.Renames.empty() || !plan.CanRename()) plans.push_back(std::move(plan));
    }
    return plans;
}

void ApplyMigration(const TCardTypeMigration& migration) {
    if (!migration.CanRename())
        throw VastrelleError(FormatMessage(kCannotRename, EscapedName(migration.Folder.string())));
    std::vector<const TNameRename*> done;
    auto undo = [&] {
        for (auto it = done.rbegin(); it != done.rend(); ++it)
            RenameNoReplace((*it)->To, (*it)->From);
    };
    for (const TNameRename& rename : migration.Renames) {
        if (!RenameNoReplace(rename.From, rename.To)) {
            undo();
            throw VastrelleError(FormatMessage(kCannotRename, EscapedName(rename.From.string())));
        }
        done.push_back(&rename);
    }
    // Renames that may not have reached the disk are taken back, so that a power cut cannot
    // leave the folder renamed and its pictures not.
    const bool folderRenamed = migration.NewFolder != migration.Folder;
    const bool picturesRenamed = migration.Renames.size() > (folderRenamed ? 1u : 0u);
    if ((picturesRenamed && !FlushFolder(migration.NewFolder / kImageFolderName)) ||
        (folderRenamed && !FlushFolder(migration.NewFolder.parent_path()))) {
        undo();
        FlushFolder(migration.Folder / kImageFolderName);
        FlushFolder(migration.Folder.parent_path());
        throw VastrelleError(FormatMessage(kCannotRename, EscapedName(migration.Folder.string())));
    }
}
