#include "store/ident/FileTypeIdentification.h"

#include <gtest/gtest.h>

#include "support/TempDir.h"

using logvane::test::TempDir;
using logvane::test::WriteFile;

namespace {
const std::string kFile = LOGVANE_TEST_DATA_DIR "/ident/filetypeidentification.xml";

std::vector<std::pair<std::string, std::string>> Entries(const CFileTypeIdentification& t) {
    std::vector<std::pair<std::string, std::string>> all;
    for (int i = 0; i < t.GetNumEntries(); ++i)
        all.emplace_back(t.GetExtension(i), t.GetPageType(i));
    return all;
}
}  // namespace

TEST(FileTypeIdentification, ReadsEveryFileChildInOrderWhateverItsType) {
    CFileTypeIdentification types;
    ASSERT_TRUE(types.LoadXML(kFile.c_str()));
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"html", "PAGE"}, {"gif", "IMAGE"}, {"css", "MISCWEB"}, {"zip", "ARCHIVE"}, {"", "PAGE"}};
    EXPECT_EQ(Entries(types), expected);
    EXPECT_EQ(types.GetExtension(5), "");
    EXPECT_EQ(types.GetPageType(-1), "");
}

TEST(FileTypeIdentification, SavedFileReloadsWithTheSameEntriesInOrder) {
    TempDir dir;
    CFileTypeIdentification types;
    types.Allocate(3);
    EXPECT_TRUE(types.SetData(0, "php", "PAGE"));
    EXPECT_TRUE(types.SetData(1, "png", "IMAGE"));
    EXPECT_TRUE(types.SetData(2, "a\"b<c>&", "MISCWEB"));
    EXPECT_FALSE(types.SetData(3, "x", "PAGE"));
    const std::string path = dir.file("filetypeidentification-custom.xml");
    ASSERT_TRUE(types.SaveXML(path.c_str()));

    CFileTypeIdentification loaded;
    loaded.Allocate(7);
    ASSERT_TRUE(loaded.LoadXML(path.c_str()));
    EXPECT_EQ(Entries(loaded), Entries(types));
    EXPECT_FALSE(types.SaveXML(dir.file("missing/folder.xml").c_str()));
}

TEST(FileTypeIdentification, AllocateKeepsGrowsAndTruncates) {
    CFileTypeIdentification types;
    types.LoadXML(kFile.c_str());
    types.Allocate(2);
    EXPECT_EQ(Entries(types), (std::vector<std::pair<std::string, std::string>>{{"html", "PAGE"},
                                                                                {"gif", "IMAGE"}}));
    types.Allocate(3);
    EXPECT_EQ(types.GetExtension(2), "");
    types.Allocate(0);
    EXPECT_EQ(types.GetNumEntries(), 0);
}

TEST(FileTypeIdentification, MissingOrMalformedFilesLeaveTheListEmpty) {
    TempDir dir;
    WriteFile(dir.file("broken.xml"), "<FILETYPEIDENTIFICATION><FILE EXTENSION='x' TYPE='PAGE'/>");
    WriteFile(dir.file("foreign.xml"), "<FILES><FILE EXTENSION='x' TYPE='PAGE'/></FILES>");
    for (const char* name : {"missing.xml", "broken.xml", "foreign.xml"}) {
        CFileTypeIdentification types;
        types.LoadXML(kFile.c_str());
        EXPECT_FALSE(types.LoadXML(dir.file(name).c_str())) << name;
        EXPECT_EQ(types.GetNumEntries(), 0) << name;
    }
}
