#include "pictures/CardImages.h"

#include <optional>

#include "files/AtomicFile.h"
#include "files/FileOps.h"
#include "files/Messages.h"
#include "files/PendingFile.h"
#include "files/VastrelleError.h"
#include "files/WholeFile.h"
#include "pictures/Bmp.h"
#include "pictures/Exif.h"
#include "pictures/ImageFit.h"
#include "text/Cp932.h"

namespace fs = std::filesystem;

namespace {

constexpr int kLargeBox = 100;
constexpr int kSmallBox = 50;

// The path as the user reads it in a message, also for a name that never reaches the disk.
std::string DisplayPath(const fs::path& folder, std::string_view name) {
    if (auto path = ImageFilePath(folder, name)) return path->string();
    return (folder / cp932::ToUtf8Lossy(name)).string();
}

[[noreturn]] void ThrowCannotCreate(const fs::path& folder, std::string_view name) {
    throw VastrelleError(FormatMessage(msg::kCannotCreate, DisplayPath(folder, name)));
}

bool IsRegularFile(const fs::path& path) {
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

fs::path CheckedPath(const fs::path& folder, std::string_view name) {
    auto path = ImageFilePath(folder, name);
    if (!path) ThrowCannotCreate(folder, name);
    return *path;
}

// Fits the picture into the large box while it is decoded: only the sampled pixels of the
// sampled rows are kept, so a camera picture is never held whole. The result is exactly what
// ScaleImageToBox gives for the whole decoded picture.
class TLargeThumbnailSink : public TJpegRowSink {
public:
    explicit TLargeThumbnailSink(TBitmap& large) : m_large(large) {}

    void Start(int width, int height) override {
        m_sourceHeight = height;
        const TSize size = FitSize(width, height, kLargeBox, kLargeBox);
        m_large.Width = size.Width;
        m_large.Height = size.Height;
        m_large.Pixels.assign(static_cast<std::size_t>(size.Width) * size.Height * 3, 0);
        m_columns.resize(size.Width);
        for (int x = 0; x < size.Width; ++x)
            m_columns[x] = static_cast<std::size_t>(SourceIndex(x, size.Width, width)) * 3;
        m_row.resize(static_cast<std::size_t>(width) * 3);
    }

    std::uint8_t* RowBuffer(int) override { return m_row.data(); }

    int NextRow(int) const override {
        return m_nextRow < m_large.Height ? SourceIndex(m_nextRow, m_large.Height, m_sourceHeight)
                                          : m_sourceHeight;
    }

    void Row(int y) override {
        // A picture lower than the box gives one source row to several target rows.
        while (m_nextRow < m_large.Height &&
               SourceIndex(m_nextRow, m_large.Height, m_sourceHeight) == y) {
            std::uint8_t* out =
                m_large.Pixels.data() + static_cast<std::size_t>(m_nextRow) * m_large.Width * 3;
            for (std::size_t column : m_columns) {
                *out++ = m_row[column];
                *out++ = m_row[column + 1];
                *out++ = m_row[column + 2];
            }
            ++m_nextRow;
        }
    }

private:
    TBitmap& m_large;
    int m_sourceHeight = 0;
    int m_nextRow = 0;
    std::vector<std::size_t> m_columns;
    std::vector<std::uint8_t> m_row;
};

}  // namespace

TThumbnailFiles MakeThumbnailFiles(std::string_view jpegBytes, const TBitmap* decoded,
                                   const fs::path& imageFolder, std::string_view name) {
    TBitmap large;
    if (decoded) {
        large = FitIntoBox(*decoded, kLargeBox, kLargeBox);
        if (large.Width == 0)
            ThrowCannotCreate(imageFolder, ReplaceExtension(name, kLargeThumbnailExtension));
    } else {
        TLargeThumbnailSink sink(large);
        DecodeJpegRows(jpegBytes, sink);
    }
    // The small thumbnail is sampled from the large one, not from the picture. A fit that fails
    // is reported rather than writing an unfitted image.
    TBitmap small = FitIntoBox(large, kSmallBox, kSmallBox);
    if (small.Width == 0)
        ThrowCannotCreate(imageFolder, ReplaceExtension(name, kSmallThumbnailExtension));
    // Phone photos are stored as taken; only their thumbnails are turned upright.
    TurnUpright(large, jpegBytes);
    TurnUpright(small, jpegBytes);
    return {EncodeBmp(large), EncodeBmp(small)};
}

void MakeThumbnails(const fs::path& imageFolder, const std::string& name) {
    auto path = ImageFilePath(imageFolder, name);
    std::optional<TFileBytes> bytes;
    if (path) bytes = ReadFileAtSize(*path);
    if (!bytes)
        throw VastrelleError(FormatMessage(msg::kCannotOpen, DisplayPath(imageFolder, name)));
    const TThumbnailFiles thumbnails =
        MakeThumbnailFiles(bytes->View(), nullptr, imageFolder, name);
    const std::string largeName = ReplaceExtension(name, kLargeThumbnailExtension);
    const std::string smallName = ReplaceExtension(name, kSmallThumbnailExtension);
    const fs::path largePath = CheckedPath(imageFolder, largeName);
    const fs::path smallPath = CheckedPath(imageFolder, smallName);
    if (!IsReplaceable(largePath)) ThrowCannotCreate(imageFolder, largeName);
    if (!IsReplaceable(smallPath)) ThrowCannotCreate(imageFolder, smallName);
    // Both or neither: the old pair keeps temporary names until the new one is in place and
    // flushed, and is put back when any step fails.
    struct TThumbnail {
        fs::path Path;
        std::string Name;
        TPendingFile New;
        std::optional<fs::path> Old;
        bool Replaced = false;
    };
    TThumbnail pair[] = {{largePath, largeName, {imageFolder, thumbnails.Large}, {}, false},
                         {smallPath, smallName, {imageFolder, thumbnails.Small}, {}, false}};
    const std::string* failed = nullptr;
    for (TThumbnail& thumbnail : pair) {
        if (!thumbnail.New.Ok()) failed = &thumbnail.Name;
        if (!failed && IsRegularFile(thumbnail.Path)) {
            thumbnail.Old = LinkTemporaryName(thumbnail.Path);
            if (!thumbnail.Old) failed = &thumbnail.Name;
        }
        if (failed) break;
    }
    for (TThumbnail& thumbnail : pair) {
        if (failed) break;
        thumbnail.Replaced = thumbnail.New.CommitAs(thumbnail.Path);
        if (!thumbnail.Replaced) failed = &thumbnail.Name;
    }
    if (!failed && !FlushFolder(imageFolder)) failed = &smallName;
    for (TThumbnail& thumbnail : pair) {
        if (failed && thumbnail.Replaced) {
            if (!thumbnail.Old)
                fileops::Unlink(thumbnail.Path);
            else if (fileops::Rename(*thumbnail.Old, thumbnail.Path) == 0)
                thumbnail.Old.reset();
        }
        if (thumbnail.Old) fileops::Unlink(*thumbnail.Old);
    }
    if (failed) ThrowCannotCreate(imageFolder, *failed);
}

void DeleteImageFiles(const fs::path& imageFolder, const std::string& name) {
    if (!ImageFilePath(imageFolder, name)) return;
    for (const std::string& file : {name, ReplaceExtension(name, kSmallThumbnailExtension),
                                    ReplaceExtension(name, kLargeThumbnailExtension)}) {
        auto path = ImageFilePath(imageFolder, file);
        if (path && IsRegularFile(*path)) fileops::Unlink(*path);
    }
}

void StoreImage(const fs::path& imageFolder, std::string_view bytes, const std::string& name) {
    auto path = ImageFilePath(imageFolder, name);
    if (!path || !WriteFileAtomically(*path, bytes)) ThrowCannotCreate(imageFolder, name);
}

void StoreImageSide(const fs::path& imageFolder, const std::string& oldName,
                    std::string_view heldBytes, const std::string& newName) {
    const std::string largeName = ReplaceExtension(newName, kLargeThumbnailExtension);
    const std::string smallName = ReplaceExtension(newName, kSmallThumbnailExtension);
    const fs::path picturePath = CheckedPath(imageFolder, newName);
    const fs::path largePath = CheckedPath(imageFolder, largeName);
    const fs::path smallPath = CheckedPath(imageFolder, smallName);
    // Checked before the old files go, so that a refusal leaves the side as it was.
    if (!IsReplaceable(picturePath)) ThrowCannotCreate(imageFolder, newName);
    if (!IsReplaceable(largePath)) ThrowCannotCreate(imageFolder, largeName);
    if (!IsReplaceable(smallPath)) ThrowCannotCreate(imageFolder, smallName);

    const TThumbnailFiles thumbnails = MakeThumbnailFiles(heldBytes, nullptr, imageFolder, newName);
    TPendingFile picture(imageFolder, heldBytes);
    if (!picture.Ok()) ThrowCannotCreate(imageFolder, newName);
    TPendingFile large(imageFolder, thumbnails.Large);
    if (!large.Ok()) ThrowCannotCreate(imageFolder, largeName);
    TPendingFile small(imageFolder, thumbnails.Small);
    if (!small.Ok()) ThrowCannotCreate(imageFolder, smallName);

    // The old files go first: the new name may share them (the same name, or the same
    // thumbnails), and a rename over them would otherwise be undone by the removal.
    DeleteImageFiles(imageFolder, oldName);
    if (!picture.CommitAs(picturePath)) ThrowCannotCreate(imageFolder, newName);
    if (!large.CommitAs(largePath)) ThrowCannotCreate(imageFolder, largeName);
    if (!small.CommitAs(smallPath) || !FlushFolder(imageFolder))
        ThrowCannotCreate(imageFolder, smallName);
}
