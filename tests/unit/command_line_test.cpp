#include <algorithm>

#include "tests/unit/fixture.h"

class CommandLineTest : public FakeTest {
protected:
    void Parse(const std::string& text)
    {
        RunOptions = RunOptionsRecord();
        LearnLeadBytes();
        ParseCommandLine(text.c_str());
    }
};

TEST_F(CommandLineTest, QuotedDeletePathKeepsBlanksAndSlashes)
{
    Parse("/d\"C:\\My Files/x y\\a.txt\" /h12");
    EXPECT_STREQ(RunOptions.deletePath, "C:\\My Files/x y\\a.txt");
    EXPECT_EQ(RunOptions.flags, (uint32_t)(kFlagDelete | kFlagWait));
    EXPECT_EQ(RunOptions.waitHandle, 12u);
}

TEST_F(CommandLineTest, UnquotedPathEndsAtABlankOnly)
{
    // ソ (83 5C) and 表 (95 5C), and a second byte 0x20-like is impossible;
    // 0x85 0x40 is no blank either.
    Parse("/DC:\\ソ表\x85\x40/x\tS");
    EXPECT_STREQ(RunOptions.deletePath, "C:\\ソ表\x85\x40/x");
    Parse("/D\"C:\\ソ\"");  // the quote after ソ closes the path
    EXPECT_STREQ(RunOptions.deletePath, "C:\\ソ");
    Parse("/D\"\x83");  // a lead byte at the end is copied alone
    EXPECT_STREQ(RunOptions.deletePath, "\x83");
    Parse("/D\x83 ");  // ... and with the byte after it, even a blank
    EXPECT_STREQ(RunOptions.deletePath, "\x83 ");
    for (char blank : {'\n', '\v', '\f', '\r'}) {
        Parse(std::string("/Da") + blank + "b");
        EXPECT_STREQ(RunOptions.deletePath, "a") << (int)blank;
    }
}

TEST_F(CommandLineTest, LaterDeleteReplacesEarlierAndEmptyPathStillSelectsTheMode)
{
    Parse("/Dfirst /s /Dsecond");
    EXPECT_STREQ(RunOptions.deletePath, "second");
    EXPECT_EQ(RunOptions.flags, (uint32_t)(kFlagDelete | kFlagSilent));
    Parse("/D");
    EXPECT_EQ(RunOptions.flags, (uint32_t)kFlagDelete);
    EXPECT_STREQ(RunOptions.deletePath, "");
    Parse("x/");  // ends without reading past the text
    EXPECT_EQ(RunOptions.flags, 0u);
}

TEST_F(CommandLineTest, OverlongDeletePathIsDroppedNotCut)
{
    std::string path = "C:\\" + std::string(600, 'a');
    Parse("/D" + path + " /S");
    EXPECT_STREQ(RunOptions.deletePath, "");
    EXPECT_EQ(RunOptions.flags, (uint32_t)(kFlagDelete | kFlagSilent));
    Parse("/D" + std::string(kPathSize, 'c'));  // 512 bytes: one too many
    EXPECT_STREQ(RunOptions.deletePath, "");
    std::string fits = "C:\\" + std::string(kPathSize - 4, 'b');
    Parse("/D\"" + fits + "\"");
    EXPECT_EQ(std::string(RunOptions.deletePath), fits);
}

TEST_F(CommandLineTest, WaitNumberFollowsTheRuntimesRules)
{
    struct { const char* text; uint32_t handle; } cases[] = {
        {"/H123abc", 123}, {"/H 5", 5}, {"/H", 0}, {"/H0", 0}, {"/h-2", 0xFFFFFFFEu},
        {"/H+7", 7}, {"/H4294967297", 1}, {"/H12/S", 12},
    };
    for (auto& c : cases) {
        Parse(c.text);
        EXPECT_EQ(RunOptions.waitHandle, c.handle) << c.text;
        EXPECT_TRUE(RunOptions.flags & kFlagWait) << c.text;
    }
    Parse("/H12/S");
    EXPECT_TRUE(RunOptions.flags & kFlagSilent);
    // The digits after a blank are read but not skipped: /D inside them is seen.
    Parse("/H 3/Dx");
    EXPECT_EQ(RunOptions.waitHandle, 3u);
    EXPECT_STREQ(RunOptions.deletePath, "x");
}

TEST_F(CommandLineTest, DeleteModeDeletesOneFileWaitsAndLeavesThePackage)
{
    InstallPackage();
    FakeAddFile("C:\\TEMP\\left over.txt");
    EXPECT_EQ(EraserMain("/H40 /D\"C:\\TEMP\\left over.txt\""), 0);
    EXPECT_FALSE(FakeExists("C:\\TEMP\\left over.txt"));
    ASSERT_EQ(Fake.waits.size(), 1u);
    EXPECT_EQ(Fake.waits[0], std::make_pair(40u, 5000u));
    EXPECT_EQ(Fake.closedHandles, std::vector<uint32_t>{40});
    EXPECT_TRUE(Fake.boxes.empty());
    EXPECT_EQ(Fake.deleted.size(), 1u);
    EXPECT_TRUE(FakeKeyExists(kPackageKey));

    Fake.deleted.clear();
    // The wait and the closing of the handle come first.
    auto at = [](FakeOp op) { return std::find(Fake.trace.begin(), Fake.trace.end(), op); };
    EXPECT_LT(at(kOpWaitForSingleObject), at(kOpCloseHandle));
    EXPECT_LT(at(kOpCloseHandle), at(kOpDeleteFile));

    Fake.deleted.clear();
    EXPECT_EQ(EraserMain("/D /H0"), 0);  // nothing named, no wait
    EXPECT_TRUE(Fake.deleted.empty());
    EXPECT_EQ(Fake.waits.size(), 1u);
    FakeAddFile("C:\\a");
    EXPECT_EQ(EraserMain("/Da"), 0);  // a one-byte name, in the current folder
    EXPECT_EQ(Fake.deleted, std::vector<std::string>{"C:\\a"});
}

TEST_F(CommandLineTest, MissingInstallationEndsWithMinusOneUntouched)
{
    EXPECT_EQ(EraserMain(""), kExitNoInstallation);
    FakeSetString(kPackageKey, "InstallDir", "");
    auto before = FakeList();
    EXPECT_EQ(EraserMain("/S"), kExitNoInstallation);
    EXPECT_EQ(FakeList(), before);
    EXPECT_TRUE(Fake.boxes.empty());
    EXPECT_TRUE(Fake.delayedDeletes.empty());
}

TEST_F(CommandLineTest, PlatformFamilyComesFromTheVersionQuery)
{
    EXPECT_EQ(DetectPlatform(), 1);
    EXPECT_TRUE(PlatformInfo.isNtFamily);
    Fake.failOp = kOpGetVersionEx;
    EXPECT_EQ(DetectPlatform(), 0);
    Fake.failOp = kOpCount;
    Fake.platformId = 1;
    PlatformInfo.isNtFamily = 0;
    DetectPlatform();
    EXPECT_FALSE(PlatformInfo.isNtFamily);
    Fake.failOp = kOpGetVersionEx;
    EraserMain("/D");
    EXPECT_FALSE(PlatformInfo.isNtFamily);
}

// Elevation: only a limited administrator's token on the NT family, with
// an installation found, starts the elevated copy, which then does the
// whole run; the first process touches and shows nothing itself.
TEST_F(CommandLineTest, ElevatedCopyOnlyForALimitedTokenAndNeverTwice)
{
    const struct {
        const char* name;
        uint32_t platformId, elevationType;
        const char* args;
        uint32_t shellExecuteError;
        FakeOp failOp;
        int exitCode;
        bool copyStarted;  // and so nothing erased here
    } cases[] = {
        {"older family", 1, kTokenElevationTypeLimited, "", 0, kOpCount, 0, false},
        {"default token", 2, kTokenElevationTypeDefault, "", 0, kOpCount, 0, false},
        {"full token", 2, kTokenElevationTypeFull, "", 0, kOpCount, 0, false},
        {"limited token", 2, kTokenElevationTypeLimited, "/S", 0, kOpCount, 7, true},
        {"limited, after the wait", 2, kTokenElevationTypeLimited, "/H40", 0, kOpCount, 7, true},
        {"limited, declined", 2, kTokenElevationTypeLimited, "", kErrorCancelled, kOpCount,
         kExitDeclined, false},
        {"limited, cannot start the copy", 2, kTokenElevationTypeLimited, "", 1155, kOpCount, 0,
         false},
        {"limited, no own path", 2, kTokenElevationTypeLimited, "", 0, kOpGetModuleFileName, 0,
         false},
        {"limited, exit code unknown", 2, kTokenElevationTypeLimited, "", 0,
         kOpGetExitCodeProcess, 0, true},
        {"the elevated copy itself", 2, kTokenElevationTypeLimited, "/E", 0, kOpCount, 0, false},
        {"the elevated copy, lower case", 2, kTokenElevationTypeLimited, "/s/e", 0, kOpCount, 0,
         false},
    };
    for (auto& c : cases) {
        FakeReset();
        InstallPackage();
        Fake.platformId = c.platformId;
        Fake.elevationType = c.elevationType;
        Fake.shellExecuteError = c.shellExecuteError;
        Fake.copyExitCode = 7;
        Fake.failOp = c.failOp;
        Fake.failNth = 1;
        auto before = FakeList();
        EXPECT_EQ(EraserMain(c.args), c.exitCode) << c.name;
        bool untouched = c.copyStarted || c.shellExecuteError == kErrorCancelled;
        EXPECT_EQ(Fake.launches.size(), c.copyStarted ? 1u : 0u) << c.name;
        if (c.copyStarted) {
            // The copy gets its mark and nothing else: no /H, the wait is over.
            EXPECT_EQ(Fake.launches[0], "runas C:\\WINDOWS\\TEMP\\VELDUNIN.EXE /E") << c.name;
            ASSERT_FALSE(Fake.waits.empty()) << c.name;
            EXPECT_EQ(Fake.waits.back(), std::make_pair((uint32_t)kFakeCopyHandle, 0xFFFFFFFFu));
            EXPECT_EQ(Fake.closedHandles.back(), (uint32_t)kFakeCopyHandle) << c.name;
        }
        if (untouched) {
            EXPECT_EQ(FakeList(), before) << c.name;
            EXPECT_TRUE(Fake.boxes.empty()) << c.name << BoxTexts();
            EXPECT_TRUE(Fake.delayedDeletes.empty()) << c.name;
            EXPECT_TRUE(FakeKeyExists(kPackageKey)) << c.name;
        } else {
            EXPECT_FALSE(FakeKeyExists(kPackageKey)) << c.name;
            EXPECT_FALSE(FakeExists(kApp)) << c.name;
            ASSERT_FALSE(Fake.boxes.empty()) << c.name;
            EXPECT_EQ(Fake.boxes.back().style, 0x40u) << c.name;
        }
    }
    // Wait first, in the first process; no installation, no prompt.
    FakeReset();
    Fake.elevationType = kTokenElevationTypeLimited;
    EXPECT_EQ(EraserMain("/H40"), kExitNoInstallation);
    EXPECT_TRUE(Fake.launches.empty());
    EXPECT_EQ(Fake.calls[kOpShellExecuteEx], 0);
    EXPECT_EQ(Fake.waits, (std::vector<std::pair<uint32_t, uint32_t>>{{40, 5000}}));
    InstallPackage();
    EXPECT_EQ(EraserMain("/DC:\\x"), 0);  // deleting one file needs no prompt
    EXPECT_EQ(Fake.calls[kOpShellExecuteEx], 0);
}
