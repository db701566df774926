#include "restart/self_removal.h"

#include <algorithm>

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
    Fake.failOp = kOpCount;
    Fake.modulePath = "C:\\" + std::string(kAnsiPathRoom - 5, 'm');  // 510 bytes: the longest
    FakeAddFile(Fake.modulePath);
    EXPECT_EQ(ScheduleSelfRemoval(), 1);
    EXPECT_EQ(Fake.delayedDeletes.back(), Fake.modulePath);
}

TEST_F(SelfRemovalTest, AbsentProfileIsCreatedWithTheShortName)
{
    Fake.shortNames[FakeFold(kSelf)] = "C:\\WINDOWS\\TEMP\\VELDUN~1.EXE";
    EXPECT_EQ(ScheduleSelfRemoval(), 1);
    EXPECT_EQ(FakeRead(kIni), "[Rename]\r\nNUL=C:\\WINDOWS\\TEMP\\VELDUN~1.EXE\r\n");
    EXPECT_TRUE(Fake.delayedDeletes.empty());

    // Without a short name, the long one.
    Fake.nodes.erase(FakeFold(kIni));
    Fake.failOp = kOpGetShortPathName;
    EXPECT_EQ(ScheduleSelfRemoval(), 1);
    EXPECT_EQ(FakeRead(kIni), "[Rename]\r\nNUL=" + kSelf + "\r\n");
}

TEST_F(SelfRemovalTest, RequestGoesRightAfterTheFirstRenameHeader)
{
    FakeAddFile(kIni, "[boot]\r\nshell=x\r\n[RENAME]xyz\r\nA=B\r\n[rename]\r\nC=D\r\n");
    EXPECT_EQ(ScheduleSelfRemoval(), 1);
    EXPECT_EQ(FakeRead(kIni), "[boot]\r\nshell=x\r\n[RENAME]xyz\r\nNUL=" + kSelf +
                                  "\r\nA=B\r\n[rename]\r\nC=D\r\n");
    EXPECT_TRUE(TempFiles().empty());
    // The copy took the first free name, the old file the next.
    EXPECT_EQ(Fake.deleted, std::vector<std::string>{"C:\\WINDOWS\\_QX00001.$$$"});
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
    // A NUL byte is text like any other.
    const std::string withNul = std::string("[boot]\r\na") + '\0' + "b\r\n[Rename]\r\n";
    FakeReset();
    LearnLeadBytes();
    FakeAddFile(kIni, withNul);
    EXPECT_EQ(ScheduleSelfRemoval(), 1);
    EXPECT_EQ(FakeRead(kIni), withNul + "NUL=" + kSelf + "\r\n");
}

// Lines longer than one read, and a header on the last line without a line
// end: the request always stands on a line of its own after the header.
TEST_F(SelfRemovalTest, RequestFollowsTheWholeHeaderLine)
{
    const std::string request = "NUL=" + kSelf + "\r\n";
    const std::string longLine = std::string(1023, 'x') + "[Rename] tail";
    const std::string longHeader = "[Rename]" + std::string(2100, ' ') + ";";
    const struct {
        std::string before, after;
    } cases[] = {
        {longLine + "\r\n", longLine + "\r\n[Rename]\r\n" + request},
        {longHeader + "\r\nA=B\r\n", longHeader + "\r\n" + request + "A=B\r\n"},
        {"[boot]\r\n[rename]", "[boot]\r\n[rename]\r\n" + request},
    };
    for (auto& c : cases) {
        FakeReset();
        LearnLeadBytes();
        FakeAddFile(kIni, c.before);
        EXPECT_EQ(ScheduleSelfRemoval(), 1);
        EXPECT_EQ(FakeRead(kIni), c.after) << c.before.substr(0, 40);
    }
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

// When the new file cannot move in and the old one cannot move back,
// neither copy may be deleted: each is then the only one of its contents.
TEST_F(SelfRemovalTest, FailedSwapBackKeepsBothCopies)
{
    const std::string old = "[Rename]\r\nX=Y\r\n";
    FakeAddFile(kIni, old);
    Fake.failOp = kOpMoveFile;
    Fake.failNth = 2;  // the new file moving in, then the old one moving back
    Fake.failCount = 2;
    EXPECT_EQ(ScheduleSelfRemoval(), 0);
    EXPECT_FALSE(FakeExists(kIni));
    std::vector<std::string> contents;
    for (auto& path : TempFiles())
        contents.push_back(FakeRead(path));
    std::sort(contents.begin(), contents.end());
    EXPECT_EQ(contents, (std::vector<std::string>{"[Rename]\r\nNUL=" + kSelf + "\r\nX=Y\r\n", old}));
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
    // A Windows folder of one byte, or one too long for WININIT.INI: none;
    // a drive of two bytes will do.
    Fake.failOp = kOpCount;
    for (std::string win : {std::string("\\"), "C:\\" + std::string(kAnsiPathRoom - 15, 'w'), std::string("C:")}) {
        Fake.windowsDir = win;
        FakeAddFolder(win);
        EXPECT_EQ(ScheduleSelfRemoval(), win == "C:") << win.size();
    }
    EXPECT_EQ(FakeRead("C:\\WININIT.INI"), "[Rename]\r\nNUL=" + kSelf + "\r\n");
}
