#include "restart/self_removal.h"

#include "tests/unit/fixture.h"

static const std::string kIni = "C:\\WINDOWS\\WININIT.INI";
static const std::string kSelf = "C:\\WINDOWS\\TEMP\\VELDUNIN.EXE";

class SelfRemovalTest : public FakeTest {
protected:
    void SetUp() override
    {
        FakeTest::SetUp();
        LearnLeadBytes();
        PlatformInfo.isNtFamily = 0;
    }
    // Names in the Windows folder other than WININIT.INI that start with _QX.
    std::vector<std::string> TempFiles()
    {
        std::vector<std::string> out;
        for (auto& path : FakeList("C:\\WINDOWS\\_QX"))
            out.push_back(path);
        return out;
    }
};

TEST_F(SelfRemovalTest, NtFamilyUsesTheDelayedDelete)
{
    PlatformInfo.isNtFamily = 1;
    EXPECT_EQ(ScheduleSelfRemoval(), 1);
    EXPECT_EQ(Fake.delayedDeletes, std::vector<std::string>{kSelf});
    EXPECT_FALSE(FakeExists(kIni));
    Fake.failOp = kOpMoveFileEx;
    EXPECT_EQ(ScheduleSelfRemoval(), 0);
}

TEST_F(SelfRemovalTest, AbsentProfileIsCreatedWithTheShortName)
{
    Fake.shortNames[FakeFold(kSelf)] = "C:\\WINDOWS\\TEMP\\VELDUN~1.EXE";
    EXPECT_EQ(ScheduleSelfRemoval(), 1);
    EXPECT_EQ(FakeRead(kIni), "[Rename]\r\nNUL=C:\\WINDOWS\\TEMP\\VELDUN~1.EXE\r\n");
    EXPECT_TRUE(Fake.delayedDeletes.empty());
}

TEST_F(SelfRemovalTest, RequestGoesRightAfterTheFirstRenameHeader)
{
    FakeAddFile(kIni, "[boot]\r\nshell=x\r\n[RENAME]xyz\r\nA=B\r\n[rename]\r\nC=D\r\n");
    EXPECT_EQ(ScheduleSelfRemoval(), 1);
    EXPECT_EQ(FakeRead(kIni), "[boot]\r\nshell=x\r\n[RENAME]xyz\r\nNUL=" + kSelf +
                                  "\r\nA=B\r\n[rename]\r\nC=D\r\n");
    EXPECT_TRUE(TempFiles().empty());
}

TEST_F(SelfRemovalTest, MissingSectionIsAppendedAndAnOpenLastLineEnded)
{
    FakeAddFile(kIni, "[boot]\r\nshell=x");
    EXPECT_EQ(ScheduleSelfRemoval(), 1);
    EXPECT_EQ(FakeRead(kIni), "[boot]\r\nshell=x\r\n[Rename]\r\nNUL=" + kSelf + "\r\n");
}

TEST_F(SelfRemovalTest, TextModeRulesAndTheCtrlZCut)
{
    FakeAddFile(kIni, "a\rb\r\n[Rename]\n\x1A[Rename]\r\n");
    EXPECT_EQ(ScheduleSelfRemoval(), 1);
    EXPECT_EQ(FakeRead(kIni), "ab\r\n[Rename]\r\nNUL=" + kSelf + "\r\n");
}

TEST_F(SelfRemovalTest, PiecesOfALongLineAreNeverTakenForAHeader)
{
    std::string longLine = std::string(1023, 'x') + "[Rename] tail";
    FakeAddFile(kIni, longLine + "\r\n");
    EXPECT_EQ(ScheduleSelfRemoval(), 1);
    EXPECT_EQ(FakeRead(kIni), longLine + "\r\n[Rename]\r\nNUL=" + kSelf + "\r\n");
}

TEST_F(SelfRemovalTest, TemporaryNameSkipsTakenCandidatesAndLeavesThem)
{
    FakeAddFile("C:\\WINDOWS\\_QX00000.$$$", "zero");
    FakeAddFile("C:\\WINDOWS\\_QX00001.$$$", "one");
    FakeAddFile(kIni, "[Rename]\r\n");
    int setAsideDeleted = 0;
    EXPECT_EQ(ScheduleSelfRemoval(), 1);
    EXPECT_EQ(FakeRead("C:\\WINDOWS\\_QX00000.$$$"), "zero");
    EXPECT_EQ(FakeRead("C:\\WINDOWS\\_QX00001.$$$"), "one");
    EXPECT_EQ(TempFiles().size(), 2u);
    for (auto& path : Fake.deleted)
        setAsideDeleted += path == "C:\\WINDOWS\\_QX00003.$$$";  // the old file, set aside
    EXPECT_EQ(setAsideDeleted, 1);
}

// Every failure on the way leaves WININIT.INI as it was and no temporary
// file behind; success means the new file is in place.
TEST_F(SelfRemovalTest, AnyFailedStepKeepsTheOldProfile)
{
    const std::string old = "[boot]\r\n[Rename]\r\nX=Y\r\n";
    const std::string fresh = "[boot]\r\n[Rename]\r\nNUL=" + kSelf + "\r\nX=Y\r\n";
    for (FakeOp op : {kOpCreateFile, kOpReadFile, kOpWriteFile, kOpMoveFile, kOpFindFirstFile,
                      kOpDeleteFile}) {
        for (int nth = 1; nth <= 3; nth++) {
            FakeReset();
            LearnLeadBytes();
            FakeAddFile(kIni, old);
            Fake.failOp = op;
            Fake.failNth = nth;
            int result = ScheduleSelfRemoval();
            std::string now = FakeRead(kIni);
            SCOPED_TRACE(std::string(FakeOpNames[op]) + " #" + std::to_string(nth));
            if (op == kOpFindFirstFile && nth == 1)  // looked absent: the profile call
                EXPECT_EQ(now, "[boot]\r\n[Rename]\r\nX=Y\r\nNUL=" + kSelf + "\r\n");
            else
                EXPECT_EQ(now, result ? fresh : old);
            if (op == kOpDeleteFile && result)
                continue;  // only the set-aside copy could not be deleted
            EXPECT_TRUE(TempFiles().empty());
        }
    }
}

TEST_F(SelfRemovalTest, NoSelfOrWindowsFolderMeansNoRequest)
{
    Fake.failOp = kOpGetModuleFileName;
    EXPECT_EQ(ScheduleSelfRemoval(), 0);
    Fake.failOp = kOpGetWindowsDirectory;
    EXPECT_EQ(ScheduleSelfRemoval(), 0);
    Fake.failOp = kOpWriteProfileString;
    EXPECT_EQ(ScheduleSelfRemoval(), 0);
    EXPECT_FALSE(FakeExists(kIni));
}
