#include "cardtypes/CardTypes.h"

#include <unistd.h>

#include <algorithm>

#include "cardlist/CardList.h"
#include "cardtypes/Paths.h"
#include "files/AtomicFile.h"
#include "files/FileOps.h"
#include "files/Messages.h"
#include "files/VastrelleError.h"
#include "files/WholeFile.h"
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

// Steps shared by creating and importing: the checks, the card type folder and its image
// folder, each failure with its own message and box.
fs::path MakeCardTypeFolders(const fs::path& programFolder, const std::string& name) {
    if (!IsValidCardTypeName(name))
        throw VastrelleError(msg::kBadCardTypeName, MessageKind::Warning);
    const fs::path folder = FolderOf(programFolder, name);
    std::error_code ec;
    if (fs::is_directory(folder, ec))
        throw VastrelleError(msg::kCardTypeExists, MessageKind::Warning);
    // One level only; fails also when something appeared there in the meantime. Each new
    // folder is flushed into its parent, so that a power cut cannot lose it under a card list.
    if (fileops::MakeFolder(folder) != 0 || !FlushFolder(programFolder))
        throw VastrelleError(msg::kCardTypeFolderFailed, MessageKind::ErrorAbort);
    if (fileops::MakeFolder(folder / kImageFolderName) != 0 || !FlushFolder(folder))
        throw VastrelleError(msg::kImageFolderFailed, MessageKind::ErrorAbort);
    return folder;
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

void CreateCardType(const fs::path& programFolder, const std::string& name) {
    const fs::path folder = MakeCardTypeFolders(programFolder, name);
    WriteNewCardList(folder, EmptyCardListText());
}

void ImportTemplate(const fs::path& programFolder, const std::string& name,
                    const fs::path& templatePath) {
    const fs::path folder = MakeCardTypeFolders(programFolder, name);
    WriteNewCardList(folder, TemplateLinesText(ReadTemplate(templatePath)));
}

std::string ProposedCardTypeName(const fs::path& templatePath) {
    std::string fileName = templatePath.filename().native();
    // Only the last extension goes: "x.y.template" proposes "x.y", ".template" nothing.
    if (auto dot = fileName.rfind('.'); dot != std::string::npos) fileName.resize(dot);
    return Cp932FromFsName(fileName).value_or(std::string());
}
