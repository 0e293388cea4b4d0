// Importing a template that brings its pictures in the folder beside it.
#include "cardtypes/TemplatePictures.h"

#include <gtest/gtest.h>

#include "TempDir.h"
#include "TreeSnapshot.h"
#include "cardlist/CardList.h"
#include "cardtypes/CardTypes.h"
#include "files/Messages.h"
#include "files/VastrelleError.h"

namespace fs = std::filesystem;

namespace {

const fs::path kPhoto = fs::path(VASTRELLE_TEST_DATA_DIR) / "images" / "photo.jpg";

class TemplatePicturesTest : public testing::Test {
protected:
    // castles.template naming the given front pictures, one card each, beside castles/.
    fs::path WriteTemplate(const std::vector<std::string>& fronts) {
        TCardInfos cards(fronts.size());
        for (std::size_t i = 0; i < fronts.size(); ++i) cards[i].FrontImageFileName = fronts[i];
        WriteFileBytes(m_templates / "castles.template", CardListText(cards));
        fs::create_directory(m_templates / "castles");
        return m_templates / "castles.template";
    }
    void AddPicture(const std::string& name, const fs::path& source = kPhoto) {
        fs::copy_file(source, m_templates / "castles" / name);
    }
    fs::path Image(const std::string& name) const {
        return m_program / "castles" / kImageFolderName / name;
    }
    std::vector<std::string> ProgramFolderEntries() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(m_program.Path()))
            names.push_back(entry.path().filename());
        return names;
    }

    TempDir m_program;
    TempDir m_templates;
};

TEST_F(TemplatePicturesTest, CopiesOnlyNamedJpegsThatPassTheDropChecksWithThumbnails) {
    const fs::path templatePath =
        WriteTemplate({"a.jpg", "a.jpg", "b.jpeg", "c.JPG", "missing.jpg", "x.png", "..\\a.jpg"});
    AddPicture("a.jpg");
    AddPicture("b.jpeg");
    AddPicture("c.JPG");
    AddPicture("x.png");
    AddPicture("unnamed.jpg");
    ImportTemplateWithPictures(m_program.Path(), "castles", templatePath);

    EXPECT_EQ(ReadFileBytes(Image("a.jpg")), ReadFileBytes(kPhoto));
    EXPECT_TRUE(fs::is_regular_file(Image("a.thm")));
    EXPECT_TRUE(fs::is_regular_file(Image("a.thm_large")));
    EXPECT_TRUE(fs::is_regular_file(Image("b.jpeg")));
    EXPECT_TRUE(fs::is_regular_file(Image("b.thm")));
    // The extension check is exact, unnamed files stay behind, and missing ones are no failure.
    for (const char* absent : {"c.JPG", "x.png", "unnamed.jpg", "missing.jpg"})
        EXPECT_FALSE(fs::exists(Image(absent))) << absent;
    EXPECT_EQ(ReadFileBytes(m_program / "castles" / kCardListFileName),
              ReadFileBytes(templatePath));
    // No staging folder is left behind.
    EXPECT_EQ(ProgramFolderEntries(), std::vector<std::string>{"castles"});
}

TEST_F(TemplatePicturesTest, TemplateWithoutPictureFolderImportsAsBefore) {
    const fs::path templatePath = WriteTemplate({"a.jpg"});
    fs::remove(m_templates / "castles");
    ImportTemplateWithPictures(m_program.Path(), "castles", templatePath);
    EXPECT_TRUE(fs::is_empty(m_program / "castles" / kImageFolderName));
    EXPECT_EQ(ReadFileBytes(m_program / "castles" / kCardListFileName),
              ReadFileBytes(templatePath));
    // Not a .template file: no picture folder is looked for.
    EXPECT_EQ(TemplatePictureFolder("/t/list.txt"), fs::path());
    EXPECT_EQ(TemplatePictureFolder("/t/x.y.template"), fs::path("/t/x.y"));
}

TEST_F(TemplatePicturesTest, FailureLeavesNoCardTypeBehind) {
    const fs::path templatePath = WriteTemplate({"good.jpg", "broken.jpg"});
    AddPicture("good.jpg");
    WriteFileBytes(m_templates / "castles" / "broken.jpg", "not a JPEG at all");
    try {
        ImportTemplateWithPictures(m_program.Path(), "castles", templatePath);
        FAIL() << "imported";
    } catch (const VastrelleError& error) {
        EXPECT_NE(std::string(error.what()).find("JPEG"), std::string::npos) << error.what();
    }
    EXPECT_TRUE(ProgramFolderEntries().empty());
    // The name is free again.
    fs::remove(m_templates / "castles" / "broken.jpg");
    ImportTemplateWithPictures(m_program.Path(), "castles", templatePath);
    EXPECT_TRUE(fs::is_regular_file(Image("good.jpg")));
}

TEST_F(TemplatePicturesTest, ExistingOrRefusedNameIsWarnedBeforeAnythingIsMade) {
    const fs::path templatePath = WriteTemplate({"a.jpg"});
    AddPicture("a.jpg");
    fs::create_directory(m_program / "castles");
    const TreeSnapshot before = SnapshotTree(m_program.Path());
    for (const std::string name : {"castles", "a/b", ".."}) {
        try {
            ImportTemplateWithPictures(m_program.Path(), name, templatePath);
            ADD_FAILURE() << name;
        } catch (const VastrelleError& error) {
            EXPECT_EQ(error.Kind(), MessageKind::Warning) << name;
        }
    }
    EXPECT_EQ(ProgramFolderEntries(), std::vector<std::string>{"castles"});
    EXPECT_EQ(TreeDifferences(before, SnapshotTree(m_program.Path())), "");
}

TEST_F(TemplatePicturesTest, TemplateThatIsNoCardListImportsWithoutPictures) {
    WriteFileBytes(m_templates / "castles.template", "just a line of text\n");
    fs::create_directory(m_templates / "castles");
    AddPicture("a.jpg");
    ImportTemplateWithPictures(m_program.Path(), "castles", m_templates / "castles.template");
    EXPECT_EQ(ReadFileBytes(m_program / "castles" / kCardListFileName), "just a line of text\r\n");
    EXPECT_TRUE(fs::is_empty(m_program / "castles" / kImageFolderName));
}

}  // namespace
