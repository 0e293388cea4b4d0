#include "CardImages.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "AtomicFile.h"
#include "Cp932.h"
#include "Exif.h"
#include "ImageFit.h"
#include "Jpeg.h"
#include "Messages.h"
#include "PendingFile.h"
#include "VastrelleError.h"

namespace {

constexpr int kLargeBox = 100;
constexpr int kSmallBox = 50;

struct TThumbnails {
    TBitmap Large;
    TBitmap Small;
};

// The path as the user reads it in a message, also for a name that never reaches the disk.
std::string DisplayPath(const std::filesystem::path& folder, std::string_view name) {
    if (auto path = ImageFilePath(folder, name)) return path->string();
    return (folder / cp932::ToUtf8Lossy(name)).string();
}

[[noreturn]] void ThrowCannotCreate(const std::filesystem::path& folder, std::string_view name) {
    throw VastrelleError(FormatMessage(msg::kCannotCreate, DisplayPath(folder, name)));
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

// The small thumbnail is sampled from the large one, not from the picture. A fit that fails is
// reported rather than writing an unfitted image.
TThumbnails MakeThumbnailBitmaps(std::string_view jpegBytes, const std::filesystem::path& folder,
                                 std::string_view name) {
    TThumbnails thumbnails;
    TLargeThumbnailSink sink(thumbnails.Large);
    DecodeJpegRows(jpegBytes, sink);
    thumbnails.Small = FitIntoBox(thumbnails.Large, kSmallBox, kSmallBox);
    if (thumbnails.Small.Width == 0)
        ThrowCannotCreate(folder, ReplaceExtension(name, kSmallThumbnailExtension));
    // Phone photos are stored as taken; only their thumbnails are turned upright.
    TurnUpright(thumbnails.Large, jpegBytes);
    TurnUpright(thumbnails.Small, jpegBytes);
    return thumbnails;
}

// The whole content of a regular file; false when it cannot be opened or read.
bool ReadRegularFile(const std::filesystem::path& path, std::string& bytes) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (ok) {
        bytes.resize(static_cast<std::size_t>(st.st_size));
        std::size_t done = 0;
        while (ok) {
            if (done == bytes.size()) bytes.resize(bytes.size() + 65536);  // the file grew
            ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                ok = n == 0;
                break;
            }
            done += static_cast<std::size_t>(n);
        }
        bytes.resize(done);
    }
    ::close(fd);
    return ok;
}

// Thumbnails can be made again from the picture, so they are renamed into place (never seen
// half-written) but not flushed: two flushes would cost more than the fitting and encoding.
constexpr bool kDurableThumbnails = false;

void WriteThumbnail(const std::filesystem::path& folder, std::string_view pictureName,
                    std::string_view extension, const TBitmap& bitmap) {
    const std::string name = ReplaceExtension(pictureName, extension);
    auto path = ImageFilePath(folder, name);
    if (!path) ThrowCannotCreate(folder, name);
    TPendingFile file(folder, EncodeBmp(bitmap), kDurableThumbnails);
    if (!file.CommitAs(*path)) ThrowCannotCreate(folder, name);
}

bool IsRegularFile(const std::filesystem::path& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

bool RegularFileExists(const std::filesystem::path& folder, std::string_view name) {
    auto path = ImageFilePath(folder, name);
    return path && IsRegularFile(*path);
}

// Byte-wise: trail bytes are upper-cased too, full-width letters are not.
std::string UpperCaseBytes(std::string_view text) {
    std::string result(text);
    for (char& c : result)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 0x20);
    return result;
}

}  // namespace

void MakeThumbnails(const std::filesystem::path& imageFolder, const std::string& name) {
    auto path = ImageFilePath(imageFolder, name);
    std::string bytes;
    if (!path || !ReadRegularFile(*path, bytes))
        throw VastrelleError(FormatMessage(msg::kCannotOpen, DisplayPath(imageFolder, name)));
    const TThumbnails thumbnails = MakeThumbnailBitmaps(bytes, imageFolder, name);
    WriteThumbnail(imageFolder, name, kLargeThumbnailExtension, thumbnails.Large);
    WriteThumbnail(imageFolder, name, kSmallThumbnailExtension, thumbnails.Small);
}

void DeleteImageFiles(const std::filesystem::path& imageFolder, const std::string& name) {
    if (!ImageFilePath(imageFolder, name)) return;
    for (const std::string& file : {name, ReplaceExtension(name, kSmallThumbnailExtension),
                                    ReplaceExtension(name, kLargeThumbnailExtension)}) {
        auto path = ImageFilePath(imageFolder, file);
        std::error_code ec;
        if (path && IsRegularFile(*path)) std::filesystem::remove(*path, ec);
    }
}

void StoreImage(const std::filesystem::path& imageFolder, std::string_view bytes,
                const std::string& name) {
    auto path = ImageFilePath(imageFolder, name);
    if (!path || !WriteFileAtomically(*path, bytes)) ThrowCannotCreate(imageFolder, name);
}

void StoreImageSide(const std::filesystem::path& imageFolder, const std::string& oldName,
                    std::string_view heldBytes, const std::string& newName) {
    const std::string largeName = ReplaceExtension(newName, kLargeThumbnailExtension);
    const std::string smallName = ReplaceExtension(newName, kSmallThumbnailExtension);
    auto picturePath = ImageFilePath(imageFolder, newName);
    if (!picturePath) ThrowCannotCreate(imageFolder, newName);
    auto largePath = ImageFilePath(imageFolder, largeName);
    auto smallPath = ImageFilePath(imageFolder, smallName);
    if (!largePath) ThrowCannotCreate(imageFolder, largeName);
    if (!smallPath) ThrowCannotCreate(imageFolder, smallName);
    // Checked before the old files go, so that a refusal leaves the side as it was.
    if (!IsReplaceable(*picturePath)) ThrowCannotCreate(imageFolder, newName);
    if (!IsReplaceable(*largePath)) ThrowCannotCreate(imageFolder, largeName);
    if (!IsReplaceable(*smallPath)) ThrowCannotCreate(imageFolder, smallName);

    const TThumbnails thumbnails = MakeThumbnailBitmaps(heldBytes, imageFolder, newName);
    TPendingFile picture(imageFolder, heldBytes);
    if (!picture.Ok()) ThrowCannotCreate(imageFolder, newName);
    TPendingFile large(imageFolder, EncodeBmp(thumbnails.Large), kDurableThumbnails);
    if (!large.Ok()) ThrowCannotCreate(imageFolder, largeName);
    TPendingFile small(imageFolder, EncodeBmp(thumbnails.Small), kDurableThumbnails);
    if (!small.Ok()) ThrowCannotCreate(imageFolder, smallName);

    // The old files go first: the new name may share them (the same name, or the same
    // thumbnails), and a rename over them would otherwise be undone by the removal.
    DeleteImageFiles(imageFolder, oldName);
    if (!picture.CommitAs(*picturePath)) ThrowCannotCreate(imageFolder, newName);
    if (!large.CommitAs(*largePath)) ThrowCannotCreate(imageFolder, largeName);
    if (!small.CommitAs(*smallPath)) ThrowCannotCreate(imageFolder, smallName);
}

TNameCheck CheckImageName(const std::filesystem::path& imageFolder, const std::string& droppedName,
                          const std::string& currentName) {
    // A name that cannot be stored inside the image folder can never become a picture.
    if (!ImageFilePath(imageFolder, droppedName)) return TNameCheck::Taken;
    const std::string dropped = UpperCaseBytes(droppedName);
    if (RegularFileExists(imageFolder, droppedName))
        return !currentName.empty() && dropped == UpperCaseBytes(currentName)
                   ? TNameCheck::OwnPicture
                   : TNameCheck::Taken;
    // x.jpeg would share the thumbnails of another picture x.jpg; only the side's own current
    // picture may hand them over, since storing the side removes its files first.
    const bool ownThumbnails =
        !currentName.empty() &&
        UpperCaseBytes(ReplaceExtension(droppedName, kSmallThumbnailExtension)) ==
            UpperCaseBytes(ReplaceExtension(currentName, kSmallThumbnailExtension));
    if (!ownThumbnails &&
        (RegularFileExists(imageFolder, ReplaceExtension(droppedName, kSmallThumbnailExtension)) ||
         RegularFileExists(imageFolder, ReplaceExtension(droppedName, kLargeThumbnailExtension))))
        return TNameCheck::Taken;
    return TNameCheck::Free;
}
