// The image folder: names, the checks, storing, thumbnails and removal.
#include "pictures/CardImages.h"
#include "pictures/ImageFit.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <functional>
#include <set>

#include "FailureMessage.h"
#include "TempDir.h"
#include "files/FileOps.h"
#include "files/VastrelleError.h"

namespace fs = std::filesystem;

namespace {

const fs::path kImages = fs::path(VASTRELLE_TEST_DATA_DIR) / "images";

TBitmap ReadBmp(const fs::path& path) {
    const std::string bmp = ReadFileBytes(path);
    auto le = [&](std::size_t at) {
        return static_cast<int>(static_cast<unsigned char>(bmp.at(at)) |
                                static_cast<unsigned char>(bmp.at(at + 1)) << 8);
    };
    TBitmap bitmap{le(18), le(22), {}};
    const std::size_t stride = (bitmap.Width * 3 + 3) & ~std::size_t{3};
    for (int y = 0; y < bitmap.Height; ++y) {
        const std::size_t row = le(10) + (bitmap.Height - 1 - y) * stride;
        for (int x = 0; x < bitmap.Width; ++x)
            for (int c = 2; c >= 0; --c) bitmap.Pixels.push_back(bmp.at(row + x * 3 + c));
    }
    return bitmap;
}

std::set<std::string> FolderContents(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename());
    return names;
}

class ImageFolderTest : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directory(m_folder); }
    void Put(const std::string& name, const std::string& bytes = "x") {
        WriteFileBytes(m_folder / name, bytes);
    }
    bool Has(const std::string& name) const { return fs::exists(m_folder / name); }

    TempDir m_temp;
    fs::path m_folder = m_temp / "image";
    std::string m_photo = ReadFileBytes(kImages / "photo.jpg");
};

}  // namespace

TEST(ReplaceExtension, ReplacesFromTheLastDotOfTheLastName) {
    EXPECT_EQ(ReplaceExtension("a.jpg", ".thm"), "a.thm");
    EXPECT_EQ(ReplaceExtension("a.jpg", ".thm_large"), "a.thm_large");
    EXPECT_EQ(ReplaceExtension("a.b.jpeg", ".thm"), "a.b.thm");
    EXPECT_EQ(ReplaceExtension("plain", ".thm"), "plain.thm");
    EXPECT_EQ(ReplaceExtension("", ".thm"), ".thm");
    EXPECT_EQ(ReplaceExtension("dir.d\\plain", ".thm"), "dir.d\\plain.thm");
    EXPECT_EQ(ReplaceExtension("c.d:plain", ".thm"), "c.d:plain.thm");
    // 表 ends in 0x5C, which is not a "\" there.
    EXPECT_EQ(ReplaceExtension(Sjis("a.b表"), ".thm"), "a.thm");
    EXPECT_EQ(ReplaceExtension(Sjis("表.jpg"), ".thm"), Sjis("表.thm"));
}

TEST(HasAcceptedExtension, AcceptsExactlyJpgAndJpeg) {
    EXPECT_TRUE(HasAcceptedExtension("/home/u/photo.jpg"));
    EXPECT_TRUE(HasAcceptedExtension("C:\\pics\\a.b.jpeg"));
    EXPECT_TRUE(HasAcceptedExtension(Sjis("表.jpg")));
    EXPECT_FALSE(HasAcceptedExtension("PHOTO.JPG"));
    EXPECT_FALSE(HasAcceptedExtension("photo.Jpeg"));
    EXPECT_FALSE(HasAcceptedExtension("photo.jpg.txt"));
    EXPECT_FALSE(HasAcceptedExtension("photo"));
    EXPECT_FALSE(HasAcceptedExtension("C:\\pics.jpg\\photo"));
    EXPECT_FALSE(HasAcceptedExtension(Sjis("a.jpg表")));
}

TEST(ExtensionOf, IsThePartAfterTheLastDotAsWritten) {
    EXPECT_EQ(ExtensionOf("a.b.JPG"), "JPG");
    EXPECT_EQ(ExtensionOf("plain"), "");
    EXPECT_EQ(ExtensionOf("dot."), "");
    EXPECT_EQ(ExtensionOf(Sjis("表.Jpeg")), "Jpeg");
}

TEST(AsciiCase, ChangesAsciiLettersOnlyTrailBytesIncluded) {
    // 0x83 0x61 is a double-byte character whose trail byte is the code of "a".
    EXPECT_EQ(AsciiUpper("ab.jpg\x83\x61"), "AB.JPG\x83\x41");
    EXPECT_EQ(AsciiLower("AB.JPG\x83\x41"), "ab.jpg\x83\x61");
    EXPECT_EQ(AsciiUpper(Sjis("ａｂ")), Sjis("ａｂ")) << "full-width letters keep their case";
}

TEST(ImageFilePath, KeepsEveryNameInsideTheImageFolder) {
    const fs::path folder = "/data/card/image";
    EXPECT_EQ(ImageFilePath(folder, "a.jpg"), folder / "a.jpg");
    EXPECT_EQ(ImageFilePath(folder, Sjis("表.jpg")), folder / "表.jpg");
    EXPECT_EQ(ImageFilePath(folder, "..."), folder / "...");
    for (std::string name :
         {"", ".", "..", "../a.jpg", "a/b.jpg", "/etc/passwd", "..\\a.jpg", "sub\\", "C:\\x.jpg"})
        EXPECT_EQ(ImageFilePath(folder, name), std::nullopt) << name;
    EXPECT_EQ(ImageFilePath(folder, std::string("a.jpg\0.x", 8)), std::nullopt);
    EXPECT_EQ(ImageFilePath(folder, "\x81"), std::nullopt);  // a lone lead byte
    EXPECT_EQ(ImageFilePath("", "a.jpg"), std::nullopt);     // no card type loaded
}

TEST_F(ImageFolderTest, NameCheckComparesUpperCasedBytes) {
    Put("Photo.jpg");
    EXPECT_EQ(CheckImageName(m_folder, "Photo.jpg", "PHOTO.JPG"), TNameCheck::OwnPicture);
    EXPECT_EQ(CheckImageName(m_folder, "Photo.jpg", "other.jpg"), TNameCheck::Taken);
    EXPECT_EQ(CheckImageName(m_folder, "Photo.jpg", ""), TNameCheck::Taken);
    EXPECT_EQ(CheckImageName(m_folder, "new.jpg", ""), TNameCheck::Free);
    fs::create_directory(m_folder / "folder.jpg");
    EXPECT_EQ(CheckImageName(m_folder, "folder.jpg", ""), TNameCheck::Free);

    // Trail bytes are upper-cased too (ア 83 41 against ヂ 83 61); full-width letters are not.
    Put("ア.jpg");  // the file-system (UTF-8) form of the name
    EXPECT_EQ(CheckImageName(m_folder, Sjis("ア.jpg"), Sjis("ヂ.jpg")), TNameCheck::OwnPicture);
    Put("ａ.jpg");
    EXPECT_EQ(CheckImageName(m_folder, Sjis("ａ.jpg"), Sjis("Ａ.jpg")), TNameCheck::Taken);
}

TEST_F(ImageFolderTest, NameCheckRefusesTheThumbnailsOfAnotherPicture) {
    Put("x.jpg");
    Put("x.thm");
    Put("x.thm_large");
    EXPECT_EQ(CheckImageName(m_folder, "x.jpeg", ""), TNameCheck::Taken);
    EXPECT_EQ(CheckImageName(m_folder, "x.jpeg", "other.jpg"), TNameCheck::Taken);
    EXPECT_EQ(CheckImageName(m_folder, "x.jpeg", "x.jpg"), TNameCheck::Free);
    fs::remove(m_folder / "x.thm_large");
    EXPECT_EQ(CheckImageName(m_folder, "x.jpeg", ""), TNameCheck::Taken);
    EXPECT_EQ(CheckImageName(m_folder, "..", ""), TNameCheck::Taken);
    EXPECT_EQ(CheckImageName(m_folder, "a\\b.jpg", ""), TNameCheck::Taken);
}

TEST_F(ImageFolderTest, StoredPictureIsByteIdenticalToTheDroppedFile) {
    Put("a.jpg", "old content that is longer than nothing");
    StoreImage(m_folder, m_photo, "a.jpg");
    EXPECT_EQ(ReadFileBytes(m_folder / "a.jpg"), m_photo);
    const std::string withNul("\xFF\xD8\0\0tail", 8);
    StoreImage(m_folder, withNul, Sjis("表.jpg"));
    EXPECT_EQ(ReadFileBytes(m_folder / "表.jpg"), withNul);
}

TEST_F(ImageFolderTest, ThumbnailsAreTheFittedDecodedPicture) {
    for (const char* fixture : {"photo.jpg", "progressive.jpg", "gray.jpg", "cmyk.jpg"}) {
        SCOPED_TRACE(fixture);
        const std::string bytes = ReadFileBytes(kImages / fixture);
        StoreImage(m_folder, bytes, "card.jpeg");
        MakeThumbnails(m_folder, "card.jpeg");

        TBitmap expected = DecodeJpeg(bytes);
        ASSERT_TRUE(ScaleImageToBox(expected, 100, 100));
        const TBitmap large = ReadBmp(m_folder / "card.thm_large");
        EXPECT_EQ(large.Width, expected.Width);
        EXPECT_EQ(large.Height, expected.Height);
        EXPECT_EQ(large.Pixels, expected.Pixels);
        ASSERT_TRUE(ScaleImageToBox(expected, 50, 50));
        EXPECT_EQ(ReadBmp(m_folder / "card.thm").Pixels, expected.Pixels);
    }
    EXPECT_EQ(ReadBmp(m_folder / "card.thm_large").Width, 100);  // 32 x 16: enlarged to 100 x 50
    EXPECT_EQ(ReadBmp(m_folder / "card.thm").Height, 25);
}

TEST_F(ImageFolderTest, ThumbnailFailuresNameTheFile) {
    Put("text.jpg", "not a picture");
    EXPECT_EQ(MessageOf([&] { MakeThumbnails(m_folder, "text.jpg"); }), "JPEG エラー #53");
    EXPECT_FALSE(Has("text.thm_large"));
    EXPECT_EQ(MessageOf([&] { MakeThumbnails(m_folder, "none.jpg"); }),
              "ファイル " + (m_folder / "none.jpg").string() + " は開けません");
    fs::create_directory(m_folder / "dir.jpg");
    EXPECT_NE(MessageOf([&] { MakeThumbnails(m_folder, "dir.jpg"); }).find("は開けません"),
              std::string::npos);

    Put("a.jpg", m_photo);
    fs::create_directory(m_folder / "a.thm_large");  // cannot be replaced by a file
    EXPECT_EQ(MessageOf([&] { MakeThumbnails(m_folder, "a.jpg"); }),
              "ファイル " + (m_folder / "a.thm_large").string() + " を作成できません");
    EXPECT_FALSE(Has("a.thm"));

    const fs::path notAFolder = m_temp / "file";
    WriteFileBytes(notAFolder, "x");
    EXPECT_NE(MessageOf([&] { StoreImage(notAFolder, m_photo, "a.jpg"); }).find("を作成できません"),
              std::string::npos);
}

TEST_F(ImageFolderTest, DeleteRemovesWhatExistsOfThePicture) {
    Put("a.jpg");
    Put("a.thm");
    Put("a.thm_large");
    Put("b.thm");
    fs::create_directory(m_folder / "c.jpg");
    DeleteImageFiles(m_folder, "a.jpg");
    DeleteImageFiles(m_folder, "b.jpg");  // only the small thumbnail exists
    DeleteImageFiles(m_folder, "c.jpg");  // a folder is not a picture
    DeleteImageFiles(m_folder, "");
    EXPECT_EQ(FolderContents(m_folder), std::set<std::string>{"c.jpg"});
}

TEST_F(ImageFolderTest, UnsafeNamesNeverReachTheFileSystem) {
    WriteFileBytes(m_temp / "victim.jpg", m_photo);
    WriteFileBytes(m_temp / "victim.thm", "keep");
    DeleteImageFiles(m_folder, "../victim.jpg");
    DeleteImageFiles(m_folder, "..\\victim.jpg");
    EXPECT_TRUE(fs::exists(m_temp / "victim.jpg"));
    EXPECT_TRUE(fs::exists(m_temp / "victim.thm"));

    EXPECT_NE(MessageOf([&] { MakeThumbnails(m_folder, "../victim.jpg"); }).find("は開けません"),
              std::string::npos);
    EXPECT_EQ(ReadFileBytes(m_temp / "victim.thm"), "keep");
    EXPECT_FALSE(fs::exists(m_temp / "victim.thm_large"));
    EXPECT_NE(
        MessageOf([&] { StoreImage(m_folder, m_photo, "../new.jpg"); }).find("作成できません"),
        std::string::npos);
    EXPECT_NE(MessageOf([&] {
                  StoreImageSide(m_folder, "../victim.jpg", m_photo, "..");
              }).find("作成できません"),
              std::string::npos);
    StoreImageSide(m_folder, "../victim.jpg", m_photo, "new.jpg");
    EXPECT_TRUE(fs::exists(m_temp / "victim.jpg"));
    EXPECT_EQ(FolderContents(m_temp.Path()),
              (std::set<std::string>{"image", "victim.jpg", "victim.thm"}));
}

TEST_F(ImageFolderTest, StoreSideReplacesTheOldPictureWithItsThumbnails) {
    Put("old.jpg", "old");
    Put("old.thm", "old");
    Put("old.thm_large", "old");
    StoreImageSide(m_folder, "old.jpg", m_photo, "new.jpg");
    EXPECT_EQ(FolderContents(m_folder),
              (std::set<std::string>{"new.jpg", "new.thm", "new.thm_large"}));
    EXPECT_EQ(ReadFileBytes(m_folder / "new.jpg"), m_photo);
    EXPECT_EQ(ReadBmp(m_folder / "new.thm_large").Width, 100);

    // The same name again, then a name that shares its thumbnails: nothing is lost.
    const std::string progressive = ReadFileBytes(kImages / "progressive.jpg");
    StoreImageSide(m_folder, "new.jpg", progressive, "new.jpg");
    EXPECT_EQ(ReadFileBytes(m_folder / "new.jpg"), progressive);
    StoreImageSide(m_folder, "new.jpg", m_photo, "new.jpeg");
    EXPECT_EQ(FolderContents(m_folder),
              (std::set<std::string>{"new.jpeg", "new.thm", "new.thm_large"}));
    StoreImageSide(m_folder, "", m_photo, "first.jpg");
    EXPECT_TRUE(Has("first.thm"));
}

TEST_F(ImageFolderTest, FailedStoreSideLeavesTheOldFiles) {
    Put("old.jpg", "old picture");
    Put("old.thm", "old small");
    Put("old.thm_large", "old large");
    const auto before = FolderContents(m_folder);

    EXPECT_EQ(MessageOf([&] { StoreImageSide(m_folder, "old.jpg", "not a jpeg", "new.jpg"); }),
              "JPEG エラー #53");
    EXPECT_EQ(FolderContents(m_folder), before);

    // A full disk, in a child process whose file size limit is below the picture's size.
    ASSERT_GT(m_photo.size(), 4096u);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        const std::string message =
            MessageOf([&] { StoreImageSide(m_folder, "old.jpg", m_photo, "new.jpg"); });
        _exit(message == "ファイル " + (m_folder / "new.jpg").string() + " を作成できません" ? 0
                                                                                             : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(FolderContents(m_folder), before);  // no temporary file left behind either
    EXPECT_EQ(ReadFileBytes(m_folder / "old.jpg"), "old picture");
    EXPECT_EQ(ReadFileBytes(m_folder / "old.thm_large"), "old large");
}

// Remade thumbnails replace the old pair both or neither, whichever file-system step fails.
TEST_F(ImageFolderTest, RemadeThumbnailsReplaceTheOldPairBothOrNeither) {
    auto reset = [&] {
        fs::remove_all(m_folder);
        fs::create_directory(m_folder);
        Put("p.jpg", m_photo);
        Put("p.thm", "old small");
        Put("p.thm_large", "old large");
    };
    reset();
    fileops::testing::Watch();
    MakeThumbnails(m_folder, "p.jpg");
    const long calls = fileops::testing::CallCount();
    fileops::testing::Reset();
    const std::string small = ReadFileBytes(m_folder / "p.thm");
    const std::string large = ReadFileBytes(m_folder / "p.thm_large");
    for (long n = 1; n <= calls; ++n) {
        reset();
        fileops::testing::FailCall(n, EIO);
        const std::string message = MessageOf([&] { MakeThumbnails(m_folder, "p.jpg"); });
        const auto failed = fileops::testing::Record().at(n - 1);
        fileops::testing::Reset();
        std::set<std::string> expected = {"p.jpg", "p.thm", "p.thm_large"};
        if (message == "no failure") {
            // Only a temporary name's removal may fail unseen; it stays for the next save.
            EXPECT_EQ(failed.Call, fileops::testing::TCall::Unlink) << n;
            EXPECT_EQ(ReadFileBytes(m_folder / "p.thm"), small) << n;
            EXPECT_EQ(ReadFileBytes(m_folder / "p.thm_large"), large) << n;
            expected.insert(fs::path(failed.Path).filename());
        } else {
            EXPECT_EQ(ReadFileBytes(m_folder / "p.thm"), "old small") << n << ": " << message;
            EXPECT_EQ(ReadFileBytes(m_folder / "p.thm_large"), "old large") << n << ": " << message;
        }
        EXPECT_EQ(FolderContents(m_folder), expected) << n;
    }
}
