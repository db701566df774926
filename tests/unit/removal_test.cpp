#include "paths/removal.h"

#include "tests/unit/fixture.h"

class RemovalTest : public FakeTest {
protected:
    void SetUp() override
    {
        FakeTest::SetUp();
        LearnLeadBytes();
    }
};

TEST_F(RemovalTest, NoticesCarryCaptionStyleAndExactText)
{
    ShowNotEmptyNotice(0, "C:\\X", "スタートメニュー");
    ShowCannotDeleteNotice(0, "C:\\Y", 5);
    ASSERT_EQ(Fake.boxes.size(), 2u);
    EXPECT_EQ(Fake.boxes[0].caption, kCaption);
    EXPECT_EQ(Fake.boxes[0].style, 0x30u);
    EXPECT_EQ(Fake.boxes[0].text, NotEmptyText("C:\\X", "スタートメニュー"));
    EXPECT_EQ(Fake.boxes[1].text, CannotDeleteText("C:\\Y"));
    // Byte for byte in code page 932: が is 82 AA.
    EXPECT_EQ(Fake.boxes[1].text.substr(7, 2), "\x82\xAA");
}

TEST_F(RemovalTest, DeleteIfPresentIsSilentForAbsentAndReportsFailures)
{
    DeleteIfPresent(0, "C:\\absent.txt");
    EXPECT_TRUE(Fake.boxes.empty());
    FakeAddFile("C:\\locked.txt");
    FakeLock("C:\\locked.txt");
    FakeAddFolder("C:\\folder.txt");
    DeleteIfPresent(0, "C:\\locked.txt");
    DeleteIfPresent(0, "C:\\folder.txt");  // a folder with the name counts as present
    EXPECT_EQ(BoxTexts(), CannotDeleteText("C:\\locked.txt") + "\n----\n" +
                              CannotDeleteText("C:\\folder.txt") + "\n----\n");
    EXPECT_TRUE(FakeExists("C:\\locked.txt"));
}

TEST_F(RemovalTest, OverlongPathIsReportedNotShortened)
{
    std::string folder = "C:\\" + std::string(505, 'f') + "\\";
    FakeAddFile("C:\\" + std::string(505, 'f') + "\\ab");  // the cut path would exist
    DeleteIfPresentIn(0, folder.c_str(), "abc", ".LNK");
    ASSERT_EQ(Fake.boxes.size(), 1u);
    EXPECT_EQ(Fake.boxes[0].text, CannotDeleteText(folder + "abc.LNK"));
    EXPECT_TRUE(Fake.deleted.empty());
}

TEST_F(RemovalTest, FolderWithOnlyDotEntriesIsEmpty)
{
    FakeAddFolder("C:\\A\\Inner");
    EXPECT_TRUE(IsFolderEmpty("C:\\A\\Inner"));
    EXPECT_FALSE(IsFolderEmpty("C:\\A"));  // an empty sub-folder still counts
    EXPECT_FALSE(IsFolderEmpty("C:\\Missing"));
    FakeAddFile("C:\\A\\file");
    EXPECT_FALSE(IsFolderEmpty("C:\\A\\file"));
    FakeAddFolder("C:\\B\\...");
    EXPECT_TRUE(IsFolderEmpty("C:\\B"));  // all-dot names are passed over
    FakeAddFolder("D:");
    EXPECT_TRUE(IsFolderEmpty("D:"));  // a drive root lists no dot entries
    std::string deep = "C:\\" + std::string(kAnsiPathRoom - 6, 'd');
    FakeAddFolder(deep);
    EXPECT_FALSE(IsFolderEmpty(deep.c_str()));  // too long to list: never taken for empty
}

TEST_F(RemovalTest, RemoveFolderIfEmptyResults)
{
    EXPECT_EQ(RemoveFolderIfEmpty(0, "C:\\Missing", "フォルダ"), 1);
    FakeAddFile("C:\\plain");
    EXPECT_EQ(RemoveFolderIfEmpty(0, "C:\\plain", "フォルダ"), 0);
    EXPECT_TRUE(Fake.boxes.empty());
    FakeAddFolder("C:\\Outer\\Inner");
    EXPECT_EQ(RemoveFolderIfEmpty(0, "C:\\Outer", "フォルダ"), 0);
    EXPECT_EQ(Fake.boxes.back().text, NotEmptyText("C:\\Outer"));
    EXPECT_TRUE(FakeExists("C:\\Outer\\Inner"));
    FakeLock("C:\\Outer\\Inner");
    EXPECT_EQ(RemoveFolderIfEmpty(0, "C:\\Outer\\Inner", "フォルダ"), 0);
    EXPECT_EQ(Fake.boxes.back().text, CannotDeleteText("C:\\Outer\\Inner"));
}

TEST_F(RemovalTest, ChainRemovesEmptiedFoldersBelowTheStopOnly)
{
    FakeAddFolder("C:\\Stop\\A\\B\\C");
    EXPECT_EQ(RemoveFolderChain(0, "C:\\Stop", "C:\\Stop\\A\\B\\C", "フォルダ"), 1);
    EXPECT_EQ(Fake.deleted, (std::vector<std::string>{"C:\\Stop\\A\\B\\C", "C:\\Stop\\A\\B",
                                                      "C:\\Stop\\A"}));
    EXPECT_TRUE(FakeIsFolder("C:\\Stop"));

    // Equal to the stop in another letter case: nothing.
    EXPECT_EQ(RemoveFolderChain(0, "C:\\Stop", "c:\\STOP", "フォルダ"), 1);
    EXPECT_EQ(Fake.deleted.size(), 3u);
    // Too short a stop: nothing; a drive is long enough.
    EXPECT_EQ(RemoveFolderChain(0, "C", "C:\\Stop", "フォルダ"), 1);
    EXPECT_TRUE(FakeIsFolder("C:\\Stop"));
    FakeAddFolder("C:\\R\\S");
    EXPECT_EQ(RemoveFolderChain(0, "C:", "C:\\R\\S", "フォルダ"), 1);
    EXPECT_FALSE(FakeExists("C:\\R"));
    // Nothing that is not longer than the stop is touched, even beside it.
    FakeAddFolder("C:\\Stoa\\A");
    EXPECT_EQ(RemoveFolderChain(0, "C:\\Stop", "C:\\Stoa\\A", "フォルダ"), 1);
    EXPECT_FALSE(FakeExists("C:\\Stoa\\A"));
    EXPECT_TRUE(FakeIsFolder("C:\\Stoa"));
    EXPECT_TRUE(Fake.boxes.empty());
}

TEST_F(RemovalTest, ChainStopsAtALinkAndLooksNoFurther)
{
    FakeAddFolder("C:\\Stop\\L\\In");
    Fake.nodes[FakeFold("C:\\Stop\\L")].reparsePoint = true;
    EXPECT_EQ(RemoveFolderChain(0, "C:\\Stop", "C:\\Stop\\L\\In", "フォルダ"), 0);
    EXPECT_EQ(BoxTexts(), NotEmptyText("C:\\Stop\\L") + "\n----\n");
    EXPECT_TRUE(FakeExists("C:\\Stop\\L\\In"));
    EXPECT_EQ(Fake.calls[kOpGetFileAttributes], 1);  // nothing beneath the link was looked at
}

TEST_F(RemovalTest, ChainPassesOverAbsentAndPlainAndStopsAtWhatStays)
{
    FakeAddFolder("C:\\Stop\\A\\Keep");
    FakeAddFile("C:\\Stop\\A\\B");  // a file where a folder was expected
    EXPECT_EQ(RemoveFolderChain(0, "C:\\Stop", "C:\\Stop\\A\\B", "フォルダ"), 0);
    EXPECT_EQ(Fake.boxes.back().text, NotEmptyText("C:\\Stop\\A"));

    FakeAddFolder("C:\\Stop\\E");
    EXPECT_EQ(RemoveFolderChain(0, "C:\\Stop", "C:\\Stop\\E\\Absent", "フォルダ"), 1);
    EXPECT_FALSE(FakeExists("C:\\Stop\\E"));
}
