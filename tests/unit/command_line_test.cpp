#include <algorithm>
#include <set>

#include "tests/package_model.h"
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
    // /Q and /L in either case, the log's path read like /D's; /X is nothing.
    Parse("/q /l\"C:\\a b.log\" /X");
    EXPECT_EQ(RunOptions.flags, (uint32_t)(kFlagQuiet | kFlagLog));
    EXPECT_STREQ(RunOptions.logPath, "C:\\a b.log");
    // Without /Q, /L is no switch and takes nothing along; with it, the
    // second reading's switches count.
    Parse("/L/DC:\\x.txt");
    EXPECT_EQ(RunOptions.flags, (uint32_t)kFlagDelete);
    EXPECT_STREQ(RunOptions.deletePath, "C:\\x.txt");
    Parse("/L\"a /H5\"");
    EXPECT_EQ(RunOptions.waitHandle, 5u);
    EXPECT_STREQ(RunOptions.logPath, "");
    Parse("/Q /L/DC:\\x.txt");
    EXPECT_EQ(RunOptions.flags, (uint32_t)(kFlagQuiet | kFlagLog));
    EXPECT_STREQ(RunOptions.logPath, "/DC:\\x.txt");
    Parse("/D\"a /Q\" /Lb");  // a /Q inside a path is none
    EXPECT_EQ(RunOptions.flags, (uint32_t)kFlagDelete);
}

TEST_F(CommandLineTest, OverlongDeletePathIsDroppedNotCut)
{
    std::string path = "C:\\" + std::string(600, 'a');
    Parse("/D" + path + " /S");
    EXPECT_STREQ(RunOptions.deletePath, "");
    EXPECT_EQ(RunOptions.flags, (uint32_t)(kFlagDelete | kFlagSilent));
    Parse("/D" + std::string(kAnsiPathRoom, 'c'));  // 512 bytes: one too many
    EXPECT_STREQ(RunOptions.deletePath, "");
    std::string fits = "C:\\" + std::string(kAnsiPathRoom - 4, 'b');
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
    FakeStartProgram(kAcc + "\\Clock1.exe");  // never asked about here
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

    // A file that stays is no failure of the run, and /D wins over a
    // quiet run and over the elevated copy's switch.
    FakeAddFile("C:\\b");
    FakeLock("C:\\b");
    EXPECT_EQ(EraserMain("/DC:\\b"), 0);
    EXPECT_TRUE(FakeExists("C:\\b"));
    for (const char* line : {"/Q /DC:\\a", "/E\"C:\\Games\" /DC:\\a"}) {
        FakeAddFile("C:\\a");
        EXPECT_EQ(EraserMain(line), 0) << line;
        EXPECT_FALSE(FakeExists("C:\\a")) << line;
        EXPECT_TRUE(FakeExists(kApp + "\\VELDPZ.EXE")) << line;
    }
    EXPECT_TRUE(FakeKeyExists(kPackageKey));
    EXPECT_TRUE(Fake.boxes.empty()) << BoxTexts();
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

// Elevation in every kind of account. The machine's items go in an
// elevated copy only where this token would be refused one; the copy is
// handed the install folder and never looks at any account's own items,
// and the user's items stay with the first process. The other account
// (an administrator's, or the hidden one of Administrator protection)
// holds a package key and a desktop shortcut of its own, which nothing
// may touch.
const std::string kProgramFiles = "C:\\Program Files\\Games\\";
const std::string kOtherDesktop = "C:\\USERS\\ADMIN\\Desktop";
const std::string kSelf = "C:\\WINDOWS\\TEMP\\VELDUNIN.EXE";

enum Outcome { kGone, kUntouched, kMachineItemsOnly, kUserRightsOnly, kKeyKept };

struct AccountCase {
    const char* name;
    uint32_t platformId;
    FakeToken token;
    std::string installDir;
    const char* args;
    void (*arrange)();
    bool otherAccount;
    uint32_t shellExecuteError, copyCrash;
    FakeOp failOp;
    int exitCode;
    bool launched;
    Outcome outcome;
    std::vector<std::pair<int, std::string>> warnings;  // by process; kUserRightsOnly: any
};

void PrintTo(const AccountCase& c, std::ostream* os) { *os << c.name; }

static void NoScreenSavers()
{
    for (auto& path : FakeList(Fake.windowsDir + "\\碧環"))
        Fake.nodes.erase(FakeFold(path));
}

static const AccountCase kAccountCases[] = {
    {"limited administrator, same account", 2, kFakeTokenLimited, kProgramFiles, "/H40", nullptr,
     false, 0, 0, kOpCount, 0, true, kGone, {}},
    {"standard user with an administrator's password", 2, kFakeTokenStandard, kProgramFiles, "",
     nullptr, true, 0, 0, kOpCount, 0, true, kGone, {}},
    {"Administrator protection's hidden account", 2, kFakeTokenLimited, kProgramFiles, "", nullptr,
     true, 0, 0, kOpCount, 0, true, kGone, {}},
    {"install folder with a character ending in 0x5C", 2, kFakeTokenLimited,
     "C:\\Program Files\\ソ表能\\", "", nullptr, true, 0, 0, kOpCount, 0, true, kGone, {}},
    // The copy's notices come before the first process's.
    {"notices of both processes", 2, kFakeTokenStandard, kProgramFiles, "",
     [] {
         FakeAddFile("C:\\Program Files\\Games\\KORVEN\\碧環デスクトップアクセサリー\\ACC\\mine.txt");
         FakeAddFile(kGroup + "\\mine.LNK");
     },
     true, 0, 0, kOpCount, 0, true, kGone,
     {{1, NotEmptyText("C:\\Program Files\\Games\\KORVEN\\碧環デスクトップアクセサリー\\ACC")},
      {0, NotEmptyText(kGroup, "スタートメニュー")}}},
    // A program left running is asked about by the first process, never
    // by the copy.
    {"a program left running", 2, kFakeTokenStandard, kProgramFiles, "",
     [] { FakeStartProgram("C:\\Program Files\\Games\\KORVEN\\碧環デスクトップアクセサリー\\VELDPZ.EXE"); },
     true, 0, 0, kOpCount, 0, true, kGone, {}},
    // A screen saver in the Windows folder is enough to ask.
    {"a screen saver is the only refused item", 2, kFakeTokenStandard, "C:\\Games\\", "",
     nullptr, false, 0, 0, kOpCount, 0, true, kGone, {}},
    // Nothing this token would be refused: no prompt. The restart request
    // alone is no reason to ask, and it is refused.
    {"only the package's empty folders are left", 2, kFakeTokenStandard, kProgramFiles, "",
     [] {
         NoScreenSavers();
         for (auto& path : FakeList(kProgramFiles + "KORVEN")) {
             if (!FakeIsFolder(path))
                 Fake.nodes.erase(FakeFold(path));
         }
     },
     false, 0, 0, kOpCount, 0, true, kGone, {}},
    // A folder this token may not even open is a reason to ask.
    {"a package folder only administrators may open", 2, kFakeTokenLimited, "C:\\Games\\", "",
     [] {
         NoScreenSavers();
         Fake.nodes[FakeFold(kApp)].adminOnly = true;
     },
     false, 0, 0, kOpCount, 0, true, kGone, {}},
    {"standard user who needs no rights", 2, kFakeTokenStandard, "C:\\Games\\", "",
     NoScreenSavers, false, 0, 0, kOpCount, 0, false, kGone, {}},
    {"a running program is refused for another reason", 2, kFakeTokenStandard, "C:\\Games\\", "",
     [] {
         NoScreenSavers();
         FakeLock(kAcc + "\\Clock1.exe");
     },
     false, 0, 0, kOpCount, 0, false, kGone,
     {{0, CannotDeleteText(kAcc + "\\Clock1.exe")}, {0, NotEmptyText(kAcc)}}},
    // A quiet run never asks: with rights it lacks it ends untouched.
    {"quiet, with a limited token", 2, kFakeTokenLimited, kProgramFiles, "/Q /L",
     [] { FakeStartProgram(kProgramFiles + "KORVEN\\碧環デスクトップアクセサリー\\VELDPZ.EXE"); },
     false, 0, 0, kOpCount, kExitElevationRequired, false, kUntouched, {}},
    {"declined", 2, kFakeTokenLimited, kProgramFiles, "", nullptr, false, kErrorCancelled, 0,
     kOpCount, kExitDeclined, false, kUntouched, {}},
    {"elevation denied by policy", 2, kFakeTokenStandard, kProgramFiles, "", nullptr, false,
     kErrorAccessDenied, 0, kOpCount, kErrorAccessDenied, false, kUntouched, {}},
    {"the copy fails", 2, kFakeTokenLimited, kProgramFiles, "", nullptr, false, 0, 0xC0000005u,
     kOpCount, (int)0xC0000005u, true, kUntouched, {}},
    // The copy could not open the package folder: it says so, and the
    // first process finishes the run but keeps the key.
    {"the copy cannot open the package folder", 2, kFakeTokenLimited, kProgramFiles, "",
     [] { FakeHoldOpen(kProgramFiles + "KORVEN\\碧環デスクトップアクセサリー", kShareRead | kShareWrite, 0); },
     false, 0, 0, kOpCount, 0, true, kKeyKept,
     {{1, CannotDeleteText(kProgramFiles + "KORVEN\\碧環デスクトップアクセサリー")}}},
    {"the copy's exit code cannot be read", 2, kFakeTokenLimited, kProgramFiles, "", nullptr,
     false, 0, 0, kOpGetExitCodeProcess, kExitCopyUnknown, true, kMachineItemsOnly, {}},
    // No copy to be had: the run with this token's rights, as before.
    {"no shell to ask", 2, kFakeTokenLimited, kProgramFiles, "", nullptr, false,
     kErrorProcNotFound, 0, kOpCount, 0, false, kUserRightsOnly, {}},
    {"no own path", 2, kFakeTokenLimited, kProgramFiles, "", nullptr, false, 0, 0,
     kOpGetModuleFileName, 0, false, kUserRightsOnly, {}},
    {"a value that cannot travel whole", 2, kFakeTokenLimited, "C:\\Program Files\\Ga\"mes\\", "",
     nullptr, false, 0, 0, kOpCount, 0, false, kUserRightsOnly, {}},
    // A relative value would name another folder where the copy starts.
    {"a value that is not a full path", 2, kFakeTokenLimited, "Program Files\\Games\\", "",
     nullptr, false, 0, 0, kOpCount, 0, false, kUserRightsOnly, {}},
    {"a value ending in a lead byte", 2, kFakeTokenLimited, "C:\\Program Files\\Games\x83", "",
     nullptr, false, 0, 0, kOpCount, 0, false, kUserRightsOnly, {}},
    {"full token", 2, kFakeTokenFull, kProgramFiles, "", nullptr, false, 0, 0, kOpCount, 0, false,
     kGone, {}},
    {"XP", 2, kFakeTokenUnknown, kProgramFiles, "", nullptr, false, 0, 0, kOpCount, 0, false, kGone,
     {}},
    {"older family", 1, kFakeTokenLimited, kProgramFiles, "", nullptr, false, 0, 0, kOpCount, 0,
     false, kUserRightsOnly, {}},
};

class AccountTable : public FakeTest, public ::testing::WithParamInterface<AccountCase> {};

TEST_P(AccountTable, MachineItemsAloneGoToTheElevatedCopy)
{
    const AccountCase& c = GetParam();
    FakeSetString(kPackageKey, "InstallDir", "C:\\Program Files\\Games\\");
    std::swap(Fake.keys, Fake.otherAccount.keys);
    Fake.otherAccount.desktopDir = kOtherDesktop;
    Fake.otherAccount.localAppDataDir = "C:\\USERS\\ADMIN\\AppData\\Local";
    FakeAddFile(kOtherDesktop + "\\パズル.LNK");
    FakeAddFolder(Fake.otherAccount.localAppDataDir + "\\VirtualStore");
    const std::map<std::string, FakeKey> otherKeys = Fake.otherAccount.keys;

    InstallPackage(c.installDir);
    Fake.platformId = c.platformId;
    Fake.token = c.token;
    Fake.copyInOtherAccount = c.otherAccount;
    Fake.shellExecuteError = c.shellExecuteError;
    Fake.copyCrash = c.copyCrash;
    if (c.arrange)
        c.arrange();
    const std::set<std::string> owned =
        OwnedPaths(c.installDir[1] == ':' ? c.installDir : "C:\\" + c.installDir);
    const auto before = FakeList();
    Fake.failOp = c.failOp;
    Fake.failNth = 1;

    EXPECT_EQ(EraserMain(c.args), c.exitCode);
    if (c.launched) {
        ASSERT_EQ(Fake.launches.size(), 1u);
        // The copy gets the value and nothing else: no /H, the wait is over.
        EXPECT_EQ(Fake.launches[0], "runas " + kSelf + " /E\"" + c.installDir + "\"");
        ASSERT_FALSE(Fake.waits.empty());
        EXPECT_EQ(Fake.waits.back(), std::make_pair((uint32_t)kFakeCopyHandle, 0xFFFFFFFFu));
        EXPECT_EQ(Fake.closedHandles.back(), (uint32_t)kFakeCopyHandle);
    } else {
        EXPECT_TRUE(Fake.launches.empty());
    }
    // The copy never looks at an account's own items.
    for (FakeOp op : {kOpRegOpenKey, kOpRegDeleteKey, kOpGetSpecialFolderPath})
        EXPECT_EQ(Fake.copyCalls[op], 0) << FakeOpNames[op];
    // The redirection guard is on in every process whose token is elevated.
    bool elevated = (c.launched && !c.copyCrash) || (c.token == kFakeTokenFull && c.platformId == 2);
    EXPECT_EQ(Fake.mitigationPolicy, elevated ? 16u : 0u);
    EXPECT_EQ(Fake.mitigationFlags, elevated ? 1u : 0u);
    EXPECT_EQ(Fake.otherAccount.keys.size(), otherKeys.size());
    EXPECT_TRUE(Fake.otherAccount.keys.count(FakeFold(kPackageKey)));
    EXPECT_TRUE(FakeExists(kOtherDesktop + "\\パズル.LNK"));

    std::vector<std::pair<int, std::string>> warnings;
    int completions = 0, questions = 0;
    for (auto& box : Fake.boxes) {
        if (box.style == 0x30)
            warnings.push_back({box.process, box.text});
        else if (box.style == 0x40)
            completions += box.process == 0 ? 1 : 100;
        else
            questions += box.process == 0 ? 1 : 100;
    }
    bool quiet = c.args[0] == '/' && (c.args[1] | 0x20) == 'q';
    EXPECT_EQ(questions, quiet ? 0 : (int)Fake.processes.size());
    if (c.outcome == kUserRightsOnly)
        EXPECT_FALSE(warnings.empty());
    else
        EXPECT_EQ(warnings, c.warnings) << BoxTexts();
    std::vector<std::string> left;
    for (const std::string& path : owned) {
        if (Fake.nodes.count(path) && !FakeIsFolder(Fake.nodes[path].path))
            left.push_back(Fake.nodes[path].path);
    }
    switch (c.outcome) {
    case kGone:
        EXPECT_EQ(completions, 1);
        EXPECT_FALSE(FakeKeyExists(kPackageKey));
        if (c.warnings.empty()) {
            EXPECT_EQ(left, std::vector<std::string>{}) << "left";
        }
        EXPECT_EQ(Fake.delayedDeletes,
                  c.token == kFakeTokenStandard && !c.launched ? std::vector<std::string>{}
                                                               : std::vector<std::string>{kSelf});
        break;
    case kUntouched:
        EXPECT_EQ(FakeList(), before);
        EXPECT_TRUE(Fake.closeMessages.empty());
        EXPECT_TRUE(Fake.boxes.empty()) << BoxTexts();
        EXPECT_TRUE(FakeKeyExists(kPackageKey));
        EXPECT_TRUE(Fake.delayedDeletes.empty());
        break;
    case kMachineItemsOnly:
        EXPECT_EQ(completions, 0);
        EXPECT_TRUE(FakeKeyExists(kPackageKey));
        EXPECT_TRUE(FakeExists(kDesktop + "\\パズル.LNK"));
        EXPECT_FALSE(FakeExists(kProgramFiles + "KORVEN"));
        break;
    case kKeyKept:
        EXPECT_EQ(completions, 1);
        EXPECT_TRUE(FakeKeyExists(kPackageKey));
        EXPECT_FALSE(FakeExists(kDesktop + "\\パズル.LNK"));
        break;
    case kUserRightsOnly:
        EXPECT_EQ(completions, 1);
        EXPECT_FALSE(FakeKeyExists(kPackageKey));
        EXPECT_FALSE(FakeExists(kDesktop + "\\パズル.LNK"));
        EXPECT_FALSE(left.empty());
        break;
    }
}

INSTANTIATE_TEST_SUITE_P(Accounts, AccountTable, ::testing::ValuesIn(kAccountCases),
                         RowName<AccountCase>);

// The copy takes the install folder only as a full path that fits, by the
// registry's rules; anything else ends it untouched. It guards against
// links before its first file operation.
TEST_F(CommandLineTest, ElevatedCopyWorksOnlyOnTheFolderItIsHanded)
{
    const std::string overlong = "C:\\" + std::string(kAnsiPathRoom, 'a');
    for (const std::string& args : std::vector<std::string>{"/E", "/E\"\"", "/E ", "/E" + overlong, "/ECX\\Games\\",
                             "/E\"Program Files\\Games\\\"", "/EC:Games\\", "/E\\Games",
                             "/E\\x\\Games", "/Ex\\Games", "/E@:\\Games", "/E{:\\Games",
                             "/EC:\\" + std::string(kAnsiPathRoom - 40, 'b')}) {
        FakeReset();
        InstallPackage(kProgramFiles);
        Fake.token = kFakeTokenFull;
        auto before = FakeList();
        EXPECT_EQ(EraserMain(args.c_str()), kExitNoInstallation) << args;
        EXPECT_EQ(FakeList(), before) << args;
        EXPECT_TRUE(Fake.boxes.empty()) << args;
        EXPECT_EQ(Fake.calls[kOpRegOpenKey], 0) << args;
    }
    // Any drive letter, or a UNC path; a server that cannot be reached
    // keeps the package and its key.
    for (const char* args : {"/Ea:\\Games", "/EZ:\\Games", "/E\\\\SERVER\\Games\\"}) {
        FakeReset();
        EXPECT_EQ(EraserMain(args), args[2] == '\\' ? kExitPackageKept : 0) << args;
    }
    FakeReset();
    InstallPackage(kProgramFiles);
    Fake.token = kFakeTokenFull;
    EXPECT_EQ(EraserMain("/e\"C:\\Program Files\\Games\\\""), 0);
    EXPECT_FALSE(FakeExists(kProgramFiles + "KORVEN"));
    EXPECT_TRUE(FakeExists(kDesktop + "\\パズル.LNK"));
    EXPECT_TRUE(FakeKeyExists(kPackageKey));
    EXPECT_TRUE(Fake.boxes.empty());
    EXPECT_EQ(Fake.delayedDeletes, std::vector<std::string>{kSelf});
    EXPECT_EQ(Fake.currentDir, "C:\\WINDOWS");
    EXPECT_EQ(Fake.calls[kOpGetTokenElevation] + Fake.calls[kOpShellExecuteEx], 0);
    // The roots are held before the guard goes on, and nothing else is opened.
    auto at = [](FakeOp op) { return std::find(Fake.trace.begin(), Fake.trace.end(), op); };
    EXPECT_LT(at(kOpOpenFolder), at(kOpSetMitigationPolicy));
    EXPECT_LT(at(kOpSetMitigationPolicy), at(kOpFindFirstAt));

    // No installation, no prompt; deleting one file needs none either.
    FakeReset();
    Fake.token = kFakeTokenLimited;
    EXPECT_EQ(EraserMain("/H40"), kExitNoInstallation);
    EXPECT_EQ(Fake.calls[kOpShellExecuteEx] + Fake.calls[kOpOpenItemAt], 0);
    InstallPackage(kProgramFiles);
    FakeAddFile("C:\\x");
    EXPECT_EQ(EraserMain("/DC:\\x"), 0);
    EXPECT_EQ(Fake.calls[kOpShellExecuteEx] + Fake.calls[kOpOpenItemAt], 0);
}
