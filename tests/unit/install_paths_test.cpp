#include <string.h>

#include "tests/unit/fixture.h"

class InstallPathsTest : public FakeTest {};

TEST_F(InstallPathsTest, DerivesTheThreeFolders)
{
    FakeSetString(kPackageKey, "InstallDir", "C:\\Games\\");
    ASSERT_EQ(LoadInstallPaths(), 1);
    EXPECT_EQ(std::string(InstallPaths.baseDir), "C:\\Games");
    EXPECT_EQ(std::string(InstallPaths.appDir), kApp);
    EXPECT_EQ(std::string(InstallPaths.dataDir), kData);

    FakeSetString(kPackageKey, "InstallDir", "C:\\");
    ASSERT_EQ(LoadInstallPaths(), 1);
    EXPECT_EQ(std::string(InstallPaths.baseDir), "C:");
    EXPECT_EQ(std::string(InstallPaths.appDir), "C:\\KORVEN\\碧環デスクトップアクセサリー");

    FakeSetString(kPackageKey, "InstallDir", "D");
    ASSERT_EQ(LoadInstallPaths(), 1);
    EXPECT_EQ(std::string(InstallPaths.appDir), "D\\KORVEN\\碧環デスクトップアクセサリー");
}

// The install folder is measured by its deepest path, the last save slot:
// no file of the table may lie deeper.
TEST_F(InstallPathsTest, NoTableFileIsDeeperThanTheLastSaveSlot)
{
    FakeSetString(kPackageKey, "InstallDir", "C:\\Games\\");
    ASSERT_EQ(LoadInstallPaths(), 1);
    size_t deepest = kData.size() + std::string("\\BRISK20.SAV").size();
    for (const FileGroup& group : InstalledFileTable) {
        for (const FileEntry* e = group.entries; e->name; e++) {
            char folder[kPathSize];
            ASSERT_TRUE(ComposeTableFolder(folder, e, &InstallPaths, ""));
            if (e->location != kLocationWindows) {
                EXPECT_LE(strlen(folder) + strlen(e->name), deepest) << e->name;
            }
        }
    }
    for (const char* name : DataFileNames)
        EXPECT_LE(kData.size() + 1 + strlen(name), deepest) << name;
    for (const char* sub : SubfolderNames)
        EXPECT_LE(kApp.size() + 1 + strlen(sub) + strlen("\\*.*"), deepest) << sub;
}

TEST_F(InstallPathsTest, MissingKeyValueOrTextIsNoInstallation)
{
    EXPECT_EQ(LoadInstallPaths(), kInstallMissing);
    FakeAddKey(kPackageKey);
    EXPECT_EQ(LoadInstallPaths(), kInstallMissing);
    // A value that is there but names no folder is a broken installation.
    FakeSetString(kPackageKey, "InstallDir", "");
    EXPECT_EQ(LoadInstallPaths(), kInstallUnusable);
}

TEST_F(InstallPathsTest, ValueWithoutTerminatorIsTakenToItsSize)
{
    FakeSetValue(kPackageKey, "InstallDir", "D:\\X");
    ASSERT_EQ(LoadInstallPaths(), 1);
    EXPECT_STREQ(InstallPaths.baseDir, "D:\\X");
}

TEST_F(InstallPathsTest, OverlongValuesAreRefusedNotCut)
{
    // 512 bytes with no NUL, and a value longer than the buffer.
    FakeSetValue(kPackageKey, "InstallDir", "C:\\" + std::string(509, 'a'));
    EXPECT_EQ(LoadInstallPaths(), kInstallUnusable);
    FakeSetString(kPackageKey, "InstallDir", "C:\\" + std::string(600, 'a'));
    EXPECT_EQ(LoadInstallPaths(), kInstallUnusable);

    // A value that fits, but leaves no room for the deepest path the run
    // composes: the DATA folder and BRISK20.SAV.
    std::string prefix = "C:\\" + std::string(kAnsiPathRoom - 1 - 3 - (int)(kApp.size() - kBase.size()) -
                                                  (int)std::string("\\DATA\\BRISK20.SAV").size(),
                                              'a');
    FakeSetString(kPackageKey, "InstallDir", prefix);
    EXPECT_EQ(LoadInstallPaths(), 1);
    FakeSetString(kPackageKey, "InstallDir", prefix + "a");
    EXPECT_EQ(LoadInstallPaths(), kInstallUnusable);
    EXPECT_STREQ(InstallPaths.baseDir, "");  // nothing half-filled is left
    EXPECT_STREQ(InstallPaths.appDir, "");
    EXPECT_STREQ(InstallPaths.dataDir, "");
}
