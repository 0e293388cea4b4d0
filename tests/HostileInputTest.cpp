// Files from elsewhere: picture names that point out of the image folder, card lists and
// templates whose DOCTYPE reaches for other files or expands without end, and pictures whose
// header claims more pixels than any card picture has.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <set>
#include <thread>
// clang-format off
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include "CliRun.h"
#include "FailureMessage.h"
#include "TempDir.h"
#include "TreeSnapshot.h"
#include "cardlist/CardList.h"
#include "cardtypes/CardTypes.h"
#include "files/Messages.h"
#include "files/VastrelleError.h"
#include "pictures/CardImages.h"
#include "pictures/Jpeg.h"

namespace fs = std::filesystem;

namespace {

const fs::path kImages = fs::path(VASTRELLE_TEST_DATA_DIR) / "images";
const std::string kPhoto = ReadFileBytes(kImages / "photo.jpg");

std::string Quoted(const fs::path& path) { return "'" + path.string() + "'"; }

// Everything under the folder except the files directly in the image folder, which the
// operations under test may change.
TreeSnapshot OutsideImageFolder(const fs::path& root, const fs::path& imageFolder) {
    TreeSnapshot snapshot = SnapshotTree(root);
    std::erase_if(snapshot, [&](const auto& entry) {
        return (root / entry.first).parent_path() == imageFolder;
    });
    return snapshot;
}

}  // namespace

TEST(HostileNames, PicturesNamedOutOfTheImageFolderAreNeverTouched) {
    TempDir dir;
    const fs::path type = dir / "type";
    const fs::path image = type / kImageFolderName;
    fs::create_directories(image / "a");
    for (const fs::path& file : {type / "x.jpg", dir / "x.jpg", image / "a" / "b.jpg"}) {
        WriteFileBytes(file, kPhoto);
        WriteFileBytes(fs::path(file).replace_extension(".thm"), "small");
        WriteFileBytes(fs::path(file).replace_extension(".thm_large"), "large");
    }
    const std::vector<std::string> names = {"../x.jpg", "../../x.jpg", "/etc/passwd", "a/b.jpg",
                                            "..",       "..\\x.jpg",   ".",           "a\\b.jpg"};
    TCardInfos cards;
    for (std::size_t i = 0; i < names.size(); ++i)
        cards.push_back({names[i], names[(i + 1) % names.size()], std::to_string(i), "", true, ""});
    WriteCardList(cards, type);
    const std::string passwd = ReadFileBytes("/etc/passwd");
    const TreeSnapshot before = OutsideImageFolder(dir.Path(), image);

    // Listing reads the names as they are; every file access goes through ImageFilePath.
    TCardInfos read;
    ReadCardList(type / kCardListFileName, read);
    EXPECT_EQ(read, cards);
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(ImageFilePath(image, name));
        EXPECT_EQ(CheckImageName(image, name, ""), TNameCheck::Taken);
        // Showing and thumbnails: the picture cannot be opened.
        EXPECT_NE(MessageOf([&] { MakeThumbnails(image, name); }).find("は開けません"),
                  std::string::npos);
        DeleteImageFiles(image, name);
        EXPECT_NE(MessageOf([&] { StoreImageSide(image, "", kPhoto, name); }), "no failure");
        EXPECT_NE(MessageOf([&] { StoreImage(image, kPhoto, name); }), "no failure");
        // Replacing such a side removes nothing of the file it names.
        EXPECT_EQ(MessageOf([&] { StoreImageSide(image, name, kPhoto, "new.jpg"); }), "no failure");
    }
    for (const char* arguments : {"check", "check --repair"}) {
        const std::string command = std::string(arguments);
        const CliResult run = RunCli(command.substr(0, 5) + " " + Quoted(type) + command.substr(5));
        EXPECT_EQ(run.exitCode, 1) << run.output;
        EXPECT_EQ(run.output.find("repaired"), std::string::npos) << run.output;
    }
    EXPECT_EQ(RunCli("thumbnails " + Quoted(image) + " ../x.jpg").exitCode, 1);

    EXPECT_EQ(TreeDifferences(before, OutsideImageFolder(dir.Path(), image)), "");
    EXPECT_EQ(ReadFileBytes("/etc/passwd"), passwd);
    EXPECT_FALSE(fs::exists("/etc/passwd.thm"));
    EXPECT_FALSE(fs::exists("/etc/passwd.thm_large"));
}

namespace {

// A named pipe that reports whether anything opened it for reading: an open for writing that
// does not wait succeeds only while a reader holds it. The reader gets "SECRET" and the end.
class ReaderDetector {
public:
    explicit ReaderDetector(fs::path fifo) : m_fifo(std::move(fifo)) {
        if (::mkfifo(m_fifo.c_str(), 0600) != 0) throw std::runtime_error("mkfifo failed");
        m_thread = std::thread([this] {
            while (!m_stop) {
                int fd = ::open(m_fifo.c_str(), O_WRONLY | O_NONBLOCK);
                if (fd >= 0) {
                    m_opened = true;
                    (void)!::write(fd, "SECRET", 6);
                    ::close(fd);
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        });
    }
    ~ReaderDetector() {
        m_stop = true;
        m_thread.join();
    }
    bool Opened() const { return m_opened; }

private:
    fs::path m_fifo;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_opened{false};
    std::thread m_thread;
};

const std::string kDecl = "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\r\n";

std::string Cards(const std::string& title) {
    return "<cardlist><carditem><number>1</number><title>" + title +
           "</title></carditem></cardlist>\r\n";
}

// Entities of a billion laughs: each level refers ten times to the one below.
std::string Laughs(int levels) {
    std::string doctype = "<!DOCTYPE cardlist [<!ENTITY l0 \"ha\">";
    for (int i = 1; i <= levels; ++i) {
        doctype += "<!ENTITY l" + std::to_string(i) + " \"";
        for (int j = 0; j < 10; ++j) doctype += "&l" + std::to_string(i - 1) + ";";
        doctype += "\">";
    }
    return doctype + "]>\r\n";
}

}  // namespace

TEST(HostileDoctype, CardListsAndTemplatesReadNoOtherFileAndEndQuickly) {
    TempDir dir;
    const fs::path fifo = dir / "secret";
    ReaderDetector detector(fifo);
    const std::string path = fifo.string();
    const std::string quadratic = std::string(50000, 'q');
    struct Case {
        const char* what;
        std::string text;
    };
    const Case cases[] = {
        {"external entity",
         kDecl + "<!DOCTYPE cardlist [<!ENTITY x SYSTEM \"" + path + "\">]>\r\n" + Cards("&x;")},
        {"external entity as URL", kDecl + "<!DOCTYPE cardlist [<!ENTITY x SYSTEM \"file://" +
                                       path + "\">]>\r\n" + Cards("&x;")},
        {"external DTD", kDecl + "<!DOCTYPE cardlist SYSTEM \"" + path + "\">\r\n" + Cards("a")},
        {"external parameter entity", kDecl + "<!DOCTYPE cardlist [<!ENTITY % p SYSTEM \"" + path +
                                          "\"> %p;]>\r\n" + Cards("a")},
        {"entity in an attribute default",
         kDecl + "<!DOCTYPE cardlist [<!ENTITY x SYSTEM \"" + path +
             "\"><!ATTLIST carditem a CDATA \"&x;\">]>\r\n" + Cards("a")},
        {"billion laughs", kDecl + Laughs(10) + Cards("&l10;")},
        {"quadratic blow-up",
         kDecl + "<!DOCTYPE cardlist [<!ENTITY q \"" + quadratic + "\">]>\r\n" + Cards([] {
             std::string refs;
             for (int i = 0; i < 20000; ++i) refs += "&q;";
             return refs;
         }())},
        {"recursive entity",
         kDecl + "<!DOCTYPE cardlist [<!ENTITY a \"&b;\"><!ENTITY b \"&a;\">]>\r\n" + Cards("&a;")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (bool viaTemplate : {false, true}) {
            fs::path cardList = dir / "cardlist.dat";
            if (viaTemplate) {
                // An import copies the lines; the list refresh then reads them.
                WriteFileBytes(dir / "in.template", c.text);
                fs::remove_all(dir / "program");
                fs::create_directory(dir / "program");
                ImportTemplate(dir / "program", "t", dir / "in.template");
                cardList = dir / "program" / "t" / kCardListFileName;
            } else {
                WriteFileBytes(cardList, c.text);
            }
            const auto start = std::chrono::steady_clock::now();
            TCardInfos cards;
            const std::string failure = MessageOf([&] { ReadCardList(cardList, cards); });
            const auto took = std::chrono::steady_clock::now() - start;
            EXPECT_LT(took, std::chrono::seconds(2));
            EXPECT_EQ(failure.find("SECRET"), std::string::npos);
            for (const TCardInfo& card : cards) {
                EXPECT_EQ(card.Title.find("SECRET"), std::string::npos);
                EXPECT_LT(card.Title.size(), 1000u) << "an entity was expanded";
            }
        }
    }
    EXPECT_FALSE(detector.Opened()) << "the reader opened a file named in the DOCTYPE";
}

namespace {

// The picture with its header claiming width x height; the data stays that of the real one.
std::string WithClaimedSize(const fs::path& picture, unsigned width, unsigned height) {
    std::string bytes = ReadFileBytes(picture);
    std::size_t frame = bytes.find("\xFF\xC0");
    if (frame == std::string::npos) frame = bytes.find("\xFF\xC2");
    if (frame == std::string::npos) throw std::runtime_error("no frame header");
    bytes[frame + 5] = static_cast<char>(height >> 8);
    bytes[frame + 6] = static_cast<char>(height & 0xFF);
    bytes[frame + 7] = static_cast<char>(width >> 8);
    bytes[frame + 8] = static_cast<char>(width & 0xFF);
    return bytes;
}

}  // namespace

TEST(HostilePictures, AHeaderClaimingTooManyPixelsIsRefusedBeforeAnyPixelMemory) {
    TempDir dir;
    for (const char* name : {"photo.jpg", "progressive.jpg"}) {
        SCOPED_TRACE(name);
        // 65000 x 65000 would take 12 GB as RGB; one more row than the limit is refused too.
        for (auto [width, height] :
             {std::pair{65000u, 65000u}, std::pair{20000u, 20000u},
              std::pair{65535u, static_cast<unsigned>(kMaxJpegPixels / 65535 + 1)}}) {
            // The decoder's number, then a line the user understands.
            const std::string tooBig =
                FormatMessage(msg::kJpegError, JERR_IMAGE_TOO_BIG) + "\n" +
                FormatMessage(msg::kPictureTooLarge,
                              std::to_string(width) + " × " + std::to_string(height));
            const std::string bytes = WithClaimedSize(kImages / name, width, height);
            const auto start = std::chrono::steady_clock::now();
            EXPECT_EQ(MessageOf([&] { DecodeJpeg(bytes); }), tooBig);
            WriteFileBytes(dir / "big.jpg", bytes);
            EXPECT_EQ(MessageOf([&] { MakeThumbnails(dir.Path(), "big.jpg"); }), tooBig);
            EXPECT_EQ(MessageOf([&] { StoreImageSide(dir.Path(), "", bytes, "side.jpg"); }),
                      tooBig);
            EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
        }
        // Within the limit the header is believed and the missing data decodes as grey.
        EXPECT_EQ(MessageOf([&] { DecodeJpeg(WithClaimedSize(kImages / name, 2000, 1500)); }),
                  "no failure");
    }
    std::set<std::string> left;
    for (const auto& entry : fs::directory_iterator(dir.Path()))
        left.insert(entry.path().filename());
    EXPECT_EQ(left, (std::set<std::string>{"big.jpg"}));
}
