#include "cardtypes/CardTypes.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <iterator>

#include "cardlist/CardList.h"
#include "cardtypes/Paths.h"
#include "files/AtomicFile.h"
#include "files/FileOps.h"
#include "files/Messages.h"
#include "files/VastrelleError.h"
#include "files/WholeFile.h"
#include "save/HistoryRecord.h"  // RemoveTree
#include "text/Cp932.h"

namespace fs = std::filesystem;

namespace {

// The folder of a name that IsValidCardTypeName accepted.
fs::path FolderOf(const fs::path& programFolder, const std::string& name) {
    return programFolder / *FsNameFromCp932(name);
}

bool IsListedFolder(const fs::directory_entry& entry) {
    std::error_code ec;
    const fs::path& folder = entry.path();
    if (folder.filename().native().starts_with('.')) return false;
    if (!fs::is_directory(entry.symlink_status(ec))) return false;
    // A folder the user cannot write to is passed over, as a read-only one is on the platform
    // the folders come from.
    if (::access(folder.c_str(), W_OK) != 0) return false;
    return fs::is_regular_file(fs::symlink_status(folder / kCardListFileName, ec));
}

// A new card type is built under a hidden name of the program folder, which the listing never
// shows, and renamed into place whole; a failure or a kill leaves no card type half made.
class TBuiltCardType {
public:
    TBuiltCardType(const fs::path& programFolder, const std::string& name, const char* prefix)
        : m_programFolder(programFolder), m_target(FolderOf(programFolder, name)) {
        std::string pattern = (programFolder / (std::string(prefix) + "XXXXXX")).native();
        if (fileops::MakeUniqueFolder(pattern) != 0)
            throw VastrelleError(msg::kCardTypeFolderFailed, MessageKind::ErrorAbort);
        m_folder = pattern;
        if (fileops::MakeFolder(m_folder / kImageFolderName) != 0 || !FlushFolder(m_folder)) {
            RemoveTree(m_folder);
            Fail(msg::kImageFolderFailed);
        }
    }
    ~TBuiltCardType() {
        if (!m_published) RemoveTree(m_folder);
    }
    TBuiltCardType(const TBuiltCardType&) = delete;
    TBuiltCardType& operator=(const TBuiltCardType&) = delete;

    const fs::path& Folder() const { return m_folder; }

    void Publish() {
        if (fileops::RenameNoReplace(m_folder, m_target) != 0) {
            // Made by another program meanwhile.
            std::error_code ec;
            if (fs::is_directory(fs::symlink_status(m_target, ec)))
                throw VastrelleError(msg::kCardTypeExists, MessageKind::Warning);
            Fail(msg::kCardTypeFolderFailed);
        }
        if (FlushFolder(m_programFolder)) {
            m_published = true;
            return;
        }
        // Not known to be on disk: taken back under its hidden name, to be removed.
        if (fileops::RenameNoReplace(m_target, m_folder) != 0) m_published = true;
        Fail(msg::kCardTypeFolderFailed);
    }

private:
    [[noreturn]] static void Fail(const char* message) {
        throw VastrelleError(message, MessageKind::ErrorAbort);
    }

    fs::path m_programFolder;
    fs::path m_target;
    fs::path m_folder;
    bool m_published = false;
};

constexpr const char* kBuildPrefixes[] = {kCreateFolderPrefix, kImportFolderPrefix};

// Hidden build folders that a killed create or import left; one whose folders changed within
// the last minute may belong to a build running now. Failures are ignored.
void RemoveKilledBuilds(const fs::path& programFolder) {
    const auto now = std::chrono::system_clock::now();
    std::error_code ec;
    std::vector<fs::path> killed;
    for (fs::directory_iterator it(programFolder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().native();
        if (std::none_of(std::begin(kBuildPrefixes), std::end(kBuildPrefixes),
                         [&](const char* prefix) { return name.starts_with(prefix); }))
            continue;
        std::time_t changed = 0;
        struct stat st {};
        for (const fs::path& folder : {it->path(), it->path() / kImageFolderName})
            if (::lstat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
                changed = std::max(changed, st.st_ctime);
        if (changed != 0 &&
            now - std::chrono::system_clock::from_time_t(changed) >= fileops::testing::StaleAge())
            killed.push_back(it->path());
    }
    for (const fs::path& folder : killed) RemoveTree(folder);
}

void CheckNewCardTypeName(const fs::path& programFolder, const std::string& name) {
    if (!IsValidCardTypeName(name))
        throw VastrelleError(msg::kBadCardTypeName, MessageKind::Warning);
    std::error_code ec;
    if (fs::is_directory(FolderOf(programFolder, name), ec))
        throw VastrelleError(msg::kCardTypeExists, MessageKind::Warning);
}

void WriteNewCardList(const fs::path& folder, std::string_view text) {
    if (!WriteFileAtomically(folder / kCardListFileName, text))
        throw VastrelleError(msg::kCardListCreateFailed, MessageKind::ErrorAbort);
}

std::string ReadTemplate(const fs::path& templatePath) {
    std::optional<std::string> bytes = ReadWholeFile(templatePath);
    if (!bytes) throw VastrelleError(FormatMessage(msg::kCannotOpen, templatePath.string()));
    return std::move(*bytes);
}

// The template's lines, each ended by CR LF. A line ends at CR, LF or CR LF, and the text ends
// at its first NUL: the way the text lines of such a file have always been read.
std::string TemplateLinesText(std::string_view bytes) {
    bytes = bytes.substr(0, bytes.find('\0'));
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 16 + 2);
    while (!bytes.empty()) {
        std::size_t end = std::min(bytes.find_first_of("\r\n"), bytes.size());
        out.append(bytes.substr(0, end));
        out += "\r\n";
        if (end < bytes.size() && bytes[end] == '\r') ++end;
        if (end < bytes.size() && bytes[end] == '\n') ++end;
        bytes.remove_prefix(end);
    }
    return out;
}

}  // namespace

std::vector<std::string> ListCardTypes(const fs::path& programFolder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(programFolder, ec), end; !ec && it != end; it.increment(ec)) {
        if (!IsListedFolder(*it)) continue;
        const fs::path fileName = it->path().filename();
        auto name = Cp932FromFsName(fileName);
        // A name that could not be created here, or whose CP932 form leads to another folder
        // (several characters share one code), could not be loaded either.
        if (name && IsValidCardTypeName(*name) && *FsNameFromCp932(*name) == fileName)
            names.push_back(std::move(*name));
    }
    std::sort(names.begin(), names.end());  // std::string orders by unsigned byte values
    return names;
}

bool CurrentCardTypePaths::Set(const fs::path& programFolder, const std::string& name) {
    Clear();
    if (name.empty() || !IsValidCardTypeName(name)) return false;
    m_cardTypeFolder = FolderOf(programFolder, name);
    m_imageFolder = m_cardTypeFolder / kImageFolderName;
    return true;
}

void CurrentCardTypePaths::Clear() {
    m_cardTypeFolder.clear();
    m_imageFolder.clear();
}

bool IsValidCardTypeName(const std::string& name) {
    // A hidden folder would be made and then never listed.
    if (name.empty() || name.front() == '.') return false;
    if (name.find('\0') != std::string::npos) return false;
    for (std::size_t pos = 0; pos < name.size();) {
        std::size_t n = cp932::CharLength(name, pos);
        // The trail byte of a double-byte character may be 0x5C, the code of "\".
        unsigned char c = static_cast<unsigned char>(name[pos]);
        if (n == 1 && (c == '/' || c == '\\' || c < 0x20 || c == 0x7F)) return false;
        pos += n;
    }
    auto fsName = FsNameFromCp932(name);
    return fsName && !fsName->empty() && fsName->native().find('/') == std::string::npos;
}

void BuildCardType(const fs::path& programFolder, const std::string& name, const char* prefix,
                   const std::function<void(const fs::path& folder)>& fill) {
    CheckNewCardTypeName(programFolder, name);
    RemoveKilledBuilds(programFolder);
    TBuiltCardType built(programFolder, name, prefix);
    fill(built.Folder());
    built.Publish();
}

void CreateCardType(const fs::path& programFolder, const std::string& name) {
    BuildCardType(programFolder, name, kCreateFolderPrefix,
                  [](const fs::path& folder) { WriteNewCardList(folder, EmptyCardListText()); });
}

std::string WriteTemplateCardList(const fs::path& folder, const fs::path& templatePath) {
    std::string text = TemplateLinesText(ReadTemplate(templatePath));
    WriteNewCardList(folder, text);
    return text;
}

void ImportTemplate(const fs::path& programFolder, const std::string& name,
                    const fs::path& templatePath) {
    BuildCardType(programFolder, name, kImportFolderPrefix,
                  [&](const fs::path& folder) { WriteTemplateCardList(folder, templatePath); });
}

std::string ProposedCardTypeName(const fs::path& templatePath) {
    std::string fileName = templatePath.filename().native();
    // Only the last extension goes: "x.y.template" proposes "x.y", ".template" nothing.
    if (auto dot = fileName.rfind('.'); dot != std::string::npos) fileName.resize(dot);
    return Cp932FromFsName(fileName).value_or(std::string());
}
