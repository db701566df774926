#include <algorithm>
#include <functional>

#include "tests/unit/fixture.h"

// One phase over a tree of the installation's folders, held for it alone.
static void InTree(void (*phase)(SysHandle, PackageTree*))
{
    char win[kPathSize];
    GetTableWindowsFolder(win);
    PackageTree tree;
    OpenPackageTree(&tree, &InstallPaths, win);
    phase(0, &tree);
    ClosePackageTree(&tree);
}
static void RemoveInstalledFiles(SysHandle)
{
    InTree([](SysHandle o, PackageTree* t) { RemoveInstalledFilesIn(o, t); });
}
static void RemoveSavedData(SysHandle)
{
    InTree([](SysHandle o, PackageTree* t) { RemoveSavedDataIn(o, t); });
}
static void RemovePackageFolders(SysHandle) { InTree(RemovePackageFoldersIn); }

class EraseRunTest : public FakeTest {
protected:
    std::vector<FakeBox> WarningsOnly()
    {
        std::vector<FakeBox> out;
        for (auto& box : Fake.boxes) {
            if (box.style == 0x30)
                out.push_back(box);
        }
        return out;
    }
};

TEST_F(EraseRunTest, CleanEraseRemovesEverythingThePackageOwns)
{
    InstallPackage();
    FakeAddFolder(kDesktop);
    EXPECT_EQ(EraserMain(""), 0);
    EXPECT_EQ(FakeList(kBase), std::vector<std::string>{kBase});
    EXPECT_EQ(FakeList(kDesktop), std::vector<std::string>{kDesktop});
    EXPECT_EQ(FakeList(kPrograms), std::vector<std::string>{kPrograms});
    EXPECT_EQ(FakeList("C:\\WINDOWS\\碧環"), std::vector<std::string>{});
    EXPECT_FALSE(FakeKeyExists(kPackageKey));
    EXPECT_FALSE(FakeKeyExists(kMakerKey));
    EXPECT_TRUE(FakeKeyExists("Software"));
    ASSERT_EQ(Fake.boxes.size(), 1u) << BoxTexts();
    EXPECT_EQ(Fake.boxes[0].style, 0x40u);
    EXPECT_EQ(Fake.boxes[0].caption, kCaption);
    EXPECT_EQ(Fake.boxes[0].text,
              "アプリケーションを削除しました。\nアンインストール処理を完全に終了するためには\n"
              "システムを再起動してください。");
    EXPECT_EQ(Fake.currentDir, "C:\\WINDOWS");
    // The completion message comes last, after the restart request.
    auto request = std::find(Fake.trace.begin(), Fake.trace.end(), kOpMoveFileEx);
    EXPECT_LT(request, Fake.trace.end() - 1);
    EXPECT_EQ(Fake.trace.back(), kOpMessageBox);
}

TEST_F(EraseRunTest, TableIsWalkedLastGroupFirstWithTheUninstallerLast)
{
    InstallPackage();
    LoadInstallPaths();
    RemoveInstalledFiles(0);
    std::vector<std::string> names;
    for (auto& path : Fake.deleted)
        names.push_back(path.substr(path.rfind('\\') + 1));
    std::vector<std::string> expected = {
        "VELD04.QXP", "VELD03.QXP", "VELD02.QXP", "VELD01.QXP", "VELDPZ.EXE", "VELD00.QXP",
        "Clock1.exe", "Clock2.exe"};
    for (const char* n : {"１", "２", "３", "４"}) {
        expected.push_back(std::string("碧環スクリーンセーバー") + n + ".scr");
        expected.push_back(std::string("碧環スクリーンセーバー") + n + ".dat");
    }
    expected.push_back("VELDUNIN.EXE");
    EXPECT_EQ(names, expected);
    EXPECT_EQ(Fake.deleted[8], "C:\\WINDOWS\\碧環スクリーンセーバー１.scr");
}

TEST_F(EraseRunTest, WithoutTheWindowsFolderScreenSaversAreLookedUpInTheCurrentFolder)
{
    InstallPackage();
    LoadInstallPaths();
    Fake.currentDir = "C:\\WINDOWS";
    Fake.failOp = kOpGetWindowsDirectory;
    RemoveInstalledFiles(0);
    EXPECT_FALSE(FakeExists("C:\\WINDOWS\\碧環スクリーンセーバー３.dat"));
    EXPECT_TRUE(Fake.boxes.empty());
}

TEST_F(EraseRunTest, OnlySlotsWithTheSaveHeaderAreRemoved)
{
    InstallPackage();
    FakeAddFile(kData + "\\BRISK05.SAV", SaveFile(32));
    FakeAddFile(kData + "\\BRISK06.SAV", SaveFile(31));
    FakeAddFile(kData + "\\BRISK08.SAV", "brisk Save " + std::string(40, 'x'));
    FakeAddFile(kData + "\\BRISK20.SAV", SaveFile());
    FakeAddFile(kData + "\\BRISK21.SAV", SaveFile());
    FakeAddFile(kData + "\\VELDPZ.LOG", "");
    // Read as stored: CR, Ctrl-Z and NUL bytes are data.
    FakeAddFile(kData + "\\BRISK10.SAV", "BRISK Save \r\x1A" + std::string(19, '\0'));
    LoadInstallPaths();
    RemoveSavedData(0);
    for (const char* gone : {"BRISK00.SAV", "BRISK05.SAV", "BRISK07.SAV", "BRISK10.SAV",
                             "BRISK20.SAV", "VELDPZ.SAV", "VELDPZ.ENV", "VELDPZ.LOG"})
        EXPECT_FALSE(FakeExists(kData + "\\" + gone)) << gone;
    for (const char* kept : {"BRISK06.SAV", "BRISK08.SAV", "BRISK21.SAV"})
        EXPECT_TRUE(FakeExists(kData + "\\" + kept)) << kept;
    EXPECT_TRUE(Fake.boxes.empty());
}

TEST_F(EraseRunTest, LockedSaveFileIsReported)
{
    InstallPackage();
    FakeAddFile(kData + "\\BRISK03.SAV", SaveFile());
    LoadInstallPaths();
    Fake.failOp = kOpDeleteItem;
    Fake.failNth = 2;  // the second slot deletion
    RemoveSavedData(0);
    ASSERT_EQ(Fake.boxes.size(), 1u);
    EXPECT_EQ(Fake.boxes[0].text, CannotDeleteText(kData + "\\BRISK03.SAV"));

    // A slot that cannot be opened, or not read from its start, is no save
    // file: it stays, and nothing is said.
    // (The first four opens hold the maker and package folders, DATA and ACC.)
    for (auto [op, nth] : {std::pair{kOpOpenItemAt, 5}, std::pair{kOpReadItem, 1}}) {
        FakeReset();
        InstallPackage();
        LoadInstallPaths();
        Fake.failOp = op;
        Fake.failNth = nth;
        RemoveSavedData(0);
        EXPECT_TRUE(FakeExists(kData + "\\BRISK00.SAV")) << FakeOpNames[op];
        EXPECT_FALSE(FakeExists(kData + "\\BRISK07.SAV")) << FakeOpNames[op];
        EXPECT_TRUE(Fake.boxes.empty());
    }
}

TEST_F(EraseRunTest, FolderThatStaysEndsFolderRemovalButNotTheRegistrySteps)
{
    InstallPackage();
    FakeAddFile(kData + "\\BRISK09.SAV", "not a save");
    EXPECT_EQ(EraserMain(""), 0);
    auto warnings = WarningsOnly();
    ASSERT_EQ(warnings.size(), 1u) << BoxTexts();
    EXPECT_EQ(warnings[0].text, NotEmptyText(kData));
    EXPECT_FALSE(FakeExists(kAcc));
    EXPECT_TRUE(FakeExists(kData + "\\BRISK09.SAV"));
    EXPECT_TRUE(FakeIsFolder(kApp));
    EXPECT_FALSE(FakeKeyExists(kPackageKey));
    EXPECT_FALSE(FakeKeyExists(kMakerKey));
}

TEST_F(EraseRunTest, BystandersSurviveWithNoticesNamingTheirFolders)
{
    InstallPackage();
    FakeAddFile(kMakerDir + "\\Other Product\\game.exe", "other");
    FakeAddFile(kGroup + "\\Readme.LNK", "mine");
    FakeSetString(kMakerKey, "Registered", "yes");
    EXPECT_EQ(EraserMain(""), 0);
    auto warnings = WarningsOnly();
    ASSERT_EQ(warnings.size(), 2u) << BoxTexts();
    EXPECT_EQ(warnings[0].text, NotEmptyText(kGroup, "スタートメニュー"));
    EXPECT_EQ(warnings[1].text, NotEmptyText(kMakerDir));
    EXPECT_EQ(FakeRead(kMakerDir + "\\Other Product\\game.exe"), "other");
    EXPECT_EQ(FakeRead(kGroup + "\\Readme.LNK"), "mine");
    EXPECT_FALSE(FakeExists(kApp));
    EXPECT_FALSE(FakeKeyExists(kPackageKey));
    EXPECT_TRUE(FakeKeyExists(kMakerKey));
}

// The maker key goes only when it is known to hold nothing: on the older
// family deleting a key takes its sub-keys along.
TEST_F(EraseRunTest, MakerKeyGoesOnlyWhenItIsKnownToBeEmpty)
{
    const struct {
        uint32_t platformId;
        const char* subKey;
        FakeOp failOp;
        int failNth;
        bool makerStays;
    } cases[] = {
        {2, nullptr, kOpCount, 0, false}, {1, nullptr, kOpCount, 0, false},
        {1, "\\Other", kOpCount, 0, true}, {1, nullptr, kOpRegQueryInfoKey, 1, true},
        {1, nullptr, kOpRegOpenKey, 2, true},  // the first opens the package key
    };
    for (auto& c : cases) {
        FakeReset();
        InstallPackage();
        Fake.platformId = c.platformId;
        if (c.subKey)
            FakeAddKey(kMakerKey + c.subKey);
        Fake.failOp = c.failOp;
        Fake.failNth = c.failNth;
        EXPECT_EQ(EraserMain(""), 0);
        EXPECT_EQ(FakeKeyExists(kMakerKey), c.makerStays)
            << c.platformId << (c.subKey ? c.subKey : "") << FakeOpNames[c.failOp < kOpCount ? c.failOp : 0];
        EXPECT_FALSE(FakeKeyExists(kPackageKey));
    }
}

TEST_F(EraseRunTest, MakerKeyWithASubKeyStaysAndMissingPackageKeyIsSilent)
{
    InstallPackage();
    FakeAddKey(kMakerKey + "\\OtherGame");
    EraserMain("");
    EXPECT_TRUE(FakeKeyExists(kMakerKey + "\\OtherGame"));
    EXPECT_TRUE(FakeKeyExists(kMakerKey));

    // Second round: the package key is gone already.
    LoadInstallPaths();
    Fake.boxes.clear();
    RemovePackageFolders(0);
    RemoveRegistryKeys();
    EXPECT_TRUE(FakeKeyExists(kMakerKey));
    EXPECT_TRUE(Fake.boxes.empty());
}

TEST_F(EraseRunTest, DriveRootInstallAndUnremovableFolders)
{
    InstallPackage("C:\\");
    FakeLock("C:\\KORVEN\\碧環デスクトップアクセサリー\\ACC");
    EXPECT_EQ(EraserMain(""), 0);
    auto warnings = WarningsOnly();
    ASSERT_EQ(warnings.size(), 1u) << BoxTexts();
    EXPECT_EQ(warnings[0].text, CannotDeleteText("C:\\KORVEN\\碧環デスクトップアクセサリー\\ACC"));
    EXPECT_TRUE(FakeIsFolder("C:\\KORVEN\\碧環デスクトップアクセサリー\\DATA"));  // not tried
    EXPECT_FALSE(FakeExists("C:\\KORVEN\\碧環デスクトップアクセサリー\\VELDPZ.EXE"));
}

TEST_F(EraseRunTest, ShortcutsGoAndTheGroupIsRemovedEvenWithoutThem)
{
    InstallPackage();
    Fake.nodes.erase(FakeFold(kDesktop + "\\パズル.LNK"));  // the user deleted it already
    for (const char* n : {"碧環デスクトップパズル", "ミルカ時計", "トア時計", "アンインストール"})
        Fake.nodes.erase(FakeFold(kGroup + "\\" + n + ".LNK"));
    RemoveShortcuts(0);
    EXPECT_FALSE(FakeExists(kGroup));
    EXPECT_TRUE(FakeIsFolder(kPrograms));
    EXPECT_TRUE(Fake.boxes.empty());

    Fake.failOp = kOpGetSpecialFolderPath;  // no shell folders: nothing, silently
    RemoveShortcuts(0);
    EXPECT_TRUE(Fake.boxes.empty());
}

TEST_F(EraseRunTest, OverlongWindowsFolderPathsAreReportedNotCut)
{
    InstallPackage();
    Fake.windowsDir = "C:\\" + std::string(kAnsiPathRoom - 5, 'w');  // 510 bytes: the longest
    FakeAddFolder(Fake.windowsDir);
    LoadInstallPaths();
    EraseRun(0);
    EXPECT_EQ(Fake.currentDir, Fake.windowsDir);
    auto warnings = WarningsOnly();
    ASSERT_EQ(warnings.size(), 8u) << BoxTexts();
    EXPECT_EQ(warnings[0].text,
              CannotDeleteText(Fake.windowsDir + "\\碧環スクリーンセーバー１.scr"));
    EXPECT_FALSE(FakeExists(kApp + "\\VELDPZ.EXE"));
}

// Whole erase runs over an installation changed by one row's arrange step:
// the warnings in order, what must stay and what must go.
struct EraseCase {
    const char* name;
    void (*arrange)();
    std::vector<std::string> warnings, kept, gone;
    std::vector<std::string> questions = {};  // whether to close a running program
    void (*check)() = nullptr;                // what else must hold afterwards
    int quietCode = 0;     // of the same run with /Q: 1603 when an item of the package stays
    bool keyKept = false;  // the package folder, or one above it, could not be opened
    bool ansiOnly = false;  // of the 512-byte room of a path in the ANSI code page
};

void PrintTo(const EraseCase& c, std::ostream* os) { *os << c.name; }

// A junction unless another reparse tag is given.
static void LinkAt(const std::string& path, uint32_t tag = 0xA0000003)
{
    Fake.nodes[FakeFold(path)].reparsePoint = true;
    Fake.nodes[FakeFold(path)].reparseTag = tag;
}
static const std::string kSaver = "C:\\WINDOWS\\碧環スクリーンセーバー１.scr";
// Takes a file or folder away with all it holds, or puts a file in its place.
static void Drop(const std::string& path, const char* fileData = nullptr)
{
    std::string key = FakeFold(path);
    for (auto it = Fake.nodes.begin(); it != Fake.nodes.end();)
        it = it->first == key || it->first.rfind(key + "\\", 0) == 0 ? Fake.nodes.erase(it) : ++it;
    if (fileData)
        FakeAddFile(path, fileData);
}

// The user's VirtualStore, with what old programs wrote into the package's
// folders and the Windows folder: a file of each kind the run recognises.
static const std::string kStore = "C:\\USERS\\YUKI\\AppData\\Local\\VirtualStore";
static const std::string kMirrorApp = kStore + "\\Games\\KORVEN\\碧環デスクトップアクセサリー";
static const std::string kMirrorSaver = kStore + "\\WINDOWS\\碧環スクリーンセーバー２.dat";
static const std::vector<std::string> kMirrorFiles = {
    kMirrorApp + "\\DATA\\BRISK01.SAV", kMirrorApp + "\\DATA\\VELDPZ.LOG",
    kMirrorApp + "\\DATA\\VELD03.QXP", kMirrorApp + "\\ACC\\Clock2.exe", kMirrorSaver};
static void MirrorFiles()
{
    Fake.localAppDataDir = "C:\\USERS\\YUKI\\AppData\\Local";
    for (auto& path : kMirrorFiles)
        FakeAddFile(path, SaveFile());
}
// An install folder whose mirror's deepest path, the last save slot, is
// one byte too long, while its own paths fit.
static const std::string kLongBase =
    "C:\\" + std::string(kAnsiPathRoom - std::string("\\BRISK20.SAV").size() -
                              (kData.size() - kBase.size()) - kStore.size() - 1,
                          'a');
static const std::string kLongMirrorClock =
    kStore + kLongBase.substr(2) + kAcc.substr(kBase.size()) + "\\Clock1.exe";
static std::string Repeat(const std::string& text, int times)
{
    std::string out;
    while (times--)
        out += text;
    return out;
}
static const std::string kKanjiBase = "C:\\" + Repeat("碧", 200);
static std::vector<std::string> Plus(std::vector<std::string> a, const std::vector<std::string>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

static const EraseCase kEraseCases[] = {
    // A folder of the package that is a link: nothing beneath it is
    // touched, it stays with one notice, and the folders above it stay.
    {"data folder is a link", [] { LinkAt(kData); }, {NotEmptyText(kData)},
     {kData + "\\VELD01.QXP", kData + "\\BRISK00.SAV", kData + "\\VELDPZ.LOG", kApp},
     {kApp + "\\VELDPZ.EXE", kAcc, kSaver, kGroup}},
    {"acc folder is a link", [] { LinkAt(kAcc); }, {NotEmptyText(kAcc)},
     {kAcc + "\\Clock1.exe", kData}, {kData + "\\VELD00.QXP", kData + "\\BRISK07.SAV"}},
    {"package folder is a link", [] { LinkAt(kApp); }, {NotEmptyText(kApp)},
     {kApp + "\\VELDPZ.EXE", kApp + "\\VELDUNIN.EXE", kAcc + "\\Clock2.exe",
      kData + "\\VELD04.QXP", kMakerDir},
     {kSaver, kDesktop + "\\パズル.LNK"}},
    {"maker folder is a link", [] { LinkAt(kMakerDir); }, {NotEmptyText(kMakerDir)},
     {kApp + "\\VELDPZ.EXE", kData + "\\BRISK00.SAV"}, {kSaver}},
    {"start menu group is a link", [] { LinkAt(kGroup); },
     {NotEmptyText(kGroup, "スタートメニュー")}, {kGroup + "\\トア時計.LNK"}, {kApp}},
    {"install folder itself is followed", [] { LinkAt(kBase); }, {}, {kBase}, {kMakerDir}},
    // A link is a reparse point whose tag is a name surrogate, or one that
    // carries no tag (as under Wine); a cloud file placeholder is not.
    {"data folder is a symbolic link", [] { LinkAt(kData, 0xA000000C); }, {NotEmptyText(kData)},
     {kData + "\\VELDPZ.SAV"}, {kAcc}},
    {"data folder is a reparse point without a tag", [] { LinkAt(kData, 0); },
     {NotEmptyText(kData)}, {kData + "\\BRISK07.SAV"}, {kAcc}},
    {"data folder is a cloud placeholder", [] { LinkAt(kData, 0x9000701A); }, {}, {kBase},
     {kData, kMakerDir}},
    // A folder that cannot be opened is not entered: it stays with the
    // cannot-delete notice, and so does what it holds.
    {"acc folder that cannot be opened", [] { FakeLock(kAcc); }, {CannotDeleteText(kAcc)},
     {kAcc + "\\Clock1.exe", kData}, {kApp + "\\VELDPZ.EXE", kData + "\\VELD00.QXP"}, {}, nullptr, 1603},
    // What is absent is passed over; a file in a folder's place stays
    // silently and ends the folders' removal there, but not the keys'.
    {"package installed without its clocks", [] { Drop(kAcc); }, {}, {kBase}, {kApp, kMakerDir}},
    {"a file in the data folder's place", [] { Drop(kData, "x"); }, {}, {kData, kApp},
     {kAcc, kApp + "\\VELDPZ.EXE"}},
    {"package folder gone, maker folder empty", [] { Drop(kApp); }, {}, {kBase}, {kMakerDir}},
    {"a file in the package folder's place", [] { Drop(kApp, "x"); }, {NotEmptyText(kMakerDir)},
     {kApp}, {kSaver}},
    {"package key that cannot be deleted", [] { Fake.failOp = kOpRegDeleteKey; }, {}, {kBase},
     {kApp}, {}, nullptr, 1603, true},
    // Nothing that could not be opened counts as gone: above the package
    // folder it is named as the package folder, which stays with its key.
    {"maker folder that cannot be checked",
     [] {
         Fake.failOp = kOpQueryItem;  // the first: the maker folder's
         Fake.failNth = 1;
     },
     {CannotDeleteText(kApp)}, {kApp + "\\VELDPZ.EXE"}, {kSaver}, {}, nullptr, 1603, true},
    {"install folder another program holds without sharing",
     [] { FakeHoldOpen(kBase, kShareRead | kShareWrite, 0); }, {CannotDeleteText(kApp)},
     {kApp + "\\VELDPZ.EXE"}, {kSaver, kDesktop + "\\パズル.LNK"}, {}, nullptr, 1603, true},
    {"folders that may be passed through but not listed",
     [] {
         Fake.nodes[FakeFold(kBase)].noList = true;
         Fake.nodes[FakeFold(kData)].noList = true;
     },
     {}, {kBase}, {kMakerDir}},
    {"data folder a program holds while it writes there",
     [] { FakeHoldOpen(kData, kShareRead | kShareWrite, kShareRead); }, {CannotDeleteText(kData)},
     {kData}, {kData + "\\VELDPZ.SAV", kData + "\\BRISK00.SAV", kAcc}, {}, nullptr, 1603},
    // The registry's value names the install folder by the system's text
    // rules: a byte alone is no folder above the package's, which is then
    // looked for from the Windows folder and never removed itself; a lone
    // separator makes the package's path a share on the server KORVEN.
    {"install folder of one byte",
     [] {
         Fake.currentDir = Fake.windowsDir;
         InstallPackage("G");
     },
     {}, {kApp + "\\VELDPZ.EXE", "C:\\WINDOWS\\G\\KORVEN\\碧環デスクトップアクセサリー"},
     {"C:\\WINDOWS\\G\\KORVEN\\碧環デスクトップアクセサリー\\DATA",
      "C:\\WINDOWS\\G\\KORVEN\\碧環デスクトップアクセサリー\\VELDUNIN.EXE"}},
    {"install folder at a drive's root", [] { InstallPackage("C:\\"); }, {}, {"C:\\WINDOWS"},
     {"C:\\KORVEN"}},
    {"install folder of a separator alone",
     [] {
         InstallPackage("C:\\");
         FakeSetString(kPackageKey, "InstallDir", "\\");
     },
     {CannotDeleteText("\\\\KORVEN\\碧環デスクトップアクセサリー")},
     {"C:\\KORVEN\\碧環デスクトップアクセサリー\\VELDPZ.EXE"}, {kSaver}, {}, nullptr, 1603, true},
    // "Run as administrator" follows no junction a standard user made, once
    // the guard is on: the install folder is opened before.
    {"install folder a junction the user made, run as administrator",
     [] {
         FakeAddFolder("D:");
         FakeRename(kBase, "D:\\Games");
         FakeSetLink(kBase, "D:\\Games");
         Fake.nodes[FakeFold(kBase)].untrusted = true;
         Fake.token = kFakeTokenFull;
     },
     {}, {"D:\\Games"}, {"D:\\Games\\KORVEN"}},
    // A save slot is read first, through a handle that keeps no program
    // out, and opened for deletion only once it proved a save file; its
    // notice names it as the folder lists it.
    {"a save slot another program holds without sharing deletion",
     [] {
         FakeAddFile(kData + "\\BRISK03.SAV", SaveFile());
         FakeHoldOpen(kData + "\\BRISK03.SAV", kShareRead | kShareWrite, kShareRead | kShareWrite);
     },
     {CannotDeleteText(kData + "\\BRISK03.SAV"), NotEmptyText(kData)}, {kData + "\\BRISK03.SAV"},
     {kData + "\\BRISK00.SAV", kAcc}, {}, nullptr, 1603},
    {"a save slot the user may read but not delete",
     [] {
         FakeAddFile(kData + "\\BRISK03.SAV", SaveFile());
         Fake.nodes[FakeFold(kData + "\\BRISK03.SAV")].denyDelete = true;
     },
     {CannotDeleteText(kData + "\\BRISK03.SAV"), NotEmptyText(kData)}, {kData + "\\BRISK03.SAV"},
     {kAcc}, {}, nullptr, 1603},
    {"a read-only save slot in another letter case",
     [] {
         FakeAddFile(kData + "\\brisk20.sav", SaveFile());
         Fake.nodes[FakeFold(kData + "\\brisk20.sav")].denyDelete = true;
     },
     {CannotDeleteText(kData + "\\brisk20.sav"), NotEmptyText(kData)}, {kData + "\\brisk20.sav"},
     {kAcc}, {}, nullptr, 1603},
    {"a folder in a save slot's place", [] { FakeAddFile(kData + "\\BRISK03.SAV\\note.txt"); },
     {NotEmptyText(kData)}, {kData + "\\BRISK03.SAV\\note.txt"}, {kAcc}},
    // Only what the erase would do is asked of the rights: a slot that is
    // no save file is never probed, so nothing needs elevation here.
    {"a slot that is no save file is all this user may not delete",
     [] {
         Fake.token = kFakeTokenLimited;
         Fake.protectedDirs.clear();
         Fake.shellExecuteError = kErrorCancelled;
         FakeAddFile(kData + "\\BRISK09.SAV", "not a save");
         Fake.nodes[FakeFold(kData + "\\BRISK09.SAV")].denyDelete = true;
     },
     {NotEmptyText(kData)}, {kData + "\\BRISK09.SAV"}, {kAcc, kSaver},
     {}, [] { EXPECT_TRUE(Fake.launches.empty()); }},
    // A folder the listing found empty that will not go: the cannot-delete
    // notice, whatever the system's reason.
    {"a folder that lists as empty but is not",
     [] { FakeAddFolder(kAcc + "\\..."); }, {CannotDeleteText(kAcc)}, {kAcc, kData},
     {kAcc + "\\Clock1.exe"}, {}, nullptr, 1603},
    {"acc folder that cannot be deleted",
     [] {
         Fake.failOp = kOpDeleteItem;  // after the 17 table files and 5 data files
         Fake.failNth = 23;
     },
     {CannotDeleteText(kAcc)}, {kAcc, kData}, {kAcc + "\\Clock1.exe", kData + "\\VELDPZ.SAV"}, {},
     nullptr, 1603},
    {"a folder in a file's place",
     [] {
         Fake.nodes.erase(FakeFold(kApp + "\\VELDPZ.EXE"));
         FakeAddFolder(kApp + "\\VELDPZ.EXE");
     },
     {CannotDeleteText(kApp + "\\VELDPZ.EXE"), NotEmptyText(kApp)}, {kApp + "\\VELDPZ.EXE"}, {kAcc},
     {}, nullptr, 1603},
    // Wine follows a link when it opens it, and the handle then says
    // nothing of a link: only the entry in the folder does. A link in a
    // file's place is another's file: under Wine a delete through it
    // would take its target.
    {"data folder is a link, by Wine's rules",
     [] {
         Fake.wineRules = true;
         LinkAt(kData);
     },
     {NotEmptyText(kData)}, {kData + "\\VELD01.QXP", kData + "\\BRISK00.SAV"}, {kAcc}},
    {"a data file that is a link, by Wine's rules",
     [] {
         Fake.wineRules = true;
         LinkAt(kData + "\\VELDPZ.LOG");
     },
     {NotEmptyText(kData)}, {kData + "\\VELDPZ.LOG"}, {kData + "\\VELDPZ.ENV", kAcc}},
    // The mirror in the VirtualStore goes by the install folder's rules,
    // its folders after the install folder's.
    {"package items in the mirror", MirrorFiles, {}, {kStore + "\\Games", kStore + "\\WINDOWS"},
     Plus(kMirrorFiles, {kStore + "\\Games\\KORVEN", kMakerDir})},
    {"stranger in the mirror's acc folder",
     [] {
         MirrorFiles();
         FakeAddFile(kMirrorApp + "\\ACC\\notes.txt");
     },
     {NotEmptyText(kMirrorApp + "\\ACC")}, {kMirrorApp + "\\ACC\\notes.txt", kMirrorApp + "\\DATA"},
     Plus(kMirrorFiles, {kMakerDir})},
    {"mirror's data folder is a link",
     [] {
         MirrorFiles();
         LinkAt(kMirrorApp + "\\DATA");
     },
     {NotEmptyText(kMirrorApp + "\\DATA")}, {kMirrorApp + "\\DATA\\BRISK01.SAV"},
     {kMirrorApp + "\\ACC", kMirrorSaver}},
    {"no mirror where the shell knows no local application data folder",
     [] {
         MirrorFiles();
         Fake.localAppDataDir = "";
     },
     {}, kMirrorFiles, {kMakerDir}},
    {"mirror of an install folder at a drive's root",
     [] {
         Fake.localAppDataDir = "C:\\USERS\\YUKI\\AppData\\Local";
         FakeAddFile(kStore + "\\KORVEN\\碧環デスクトップアクセサリー\\DATA\\BRISK02.SAV", SaveFile());
         FakeSetString(kPackageKey, "InstallDir", "c:\\");
     },
     {}, {kStore}, {kStore + "\\KORVEN"}},
    {"no mirror whose paths would not fit",
     [] {
         MirrorFiles();
         FakeAddFile(kLongMirrorClock);
         FakeSetString(kPackageKey, "InstallDir", kLongBase);
     },
     {}, {kLongMirrorClock}, {}, {}, nullptr, 0, false, true},
    // 200 kanji: 400 bytes in code page 932, 600 as UTF-8.
    {"an install folder that needs more room as UTF-8",
     [] { InstallPackage(kKanjiBase + "\\"); },
     {}, {kKanjiBase}, {kKanjiBase + "\\KORVEN"}},
    // Only a path from the root of the Windows folder's drive has a mirror:
    // any other would be mirrored beside the store, or in it by chance.
    {"no mirror of an install folder without a drive",
     [] {
         MirrorFiles();
         FakeSetString(kPackageKey, "InstallDir", "CX\\Games\\");
     },
     {}, kMirrorFiles, {}},
    {"no mirror of a drive-relative install folder",
     [] {
         MirrorFiles();
         FakeAddFile(kStore + "Games\\KORVEN\\碧環デスクトップアクセサリー\\DATA\\BRISK01.SAV", SaveFile());
         FakeSetString(kPackageKey, "InstallDir", "C:Games\\");
     },
     {}, {kStore + "Games\\KORVEN\\碧環デスクトップアクセサリー\\DATA\\BRISK01.SAV"}, {}},
    {"no mirror without the Windows folder",
     [] {
         MirrorFiles();
         Fake.failOp = kOpGetWindowsDirectory;
         FakeSetString(kPackageKey, "InstallDir", "CX\\Games\\");
     },
     {}, kMirrorFiles, {}},
    {"no mirror of an install folder on another drive",
     [] {
         MirrorFiles();
         FakeSetString(kPackageKey, "InstallDir", "D:\\Games\\");
     },
     {}, kMirrorFiles, {}},
    // The lead bytes are learned at the start: a desktop folder whose last
    // character ends in the separator byte still gets a separator.
    // A package program left running: one question each, in erase order,
    // before anything goes; only Yes closes it, and never by force.
    {"running clock closed on yes", [] { FakeStartProgram(kAcc + "\\Clock1.exe"); }, {}, {},
     {kAcc}, {StillRunningText(kAcc + "\\Clock1.exe")},
     [] {
         EXPECT_EQ(Fake.closeMessages, std::vector<uint32_t>{0x100 * 16});
         EXPECT_FALSE(FakeIsRunning(0x100));
     }},
    {"running clock left on no",
     [] {
         FakeStartProgram(kAcc + "\\Clock1.exe");
         Fake.answer = 7;
     },
     {CannotDeleteText(kAcc + "\\Clock1.exe"), NotEmptyText(kAcc)}, {kAcc + "\\Clock1.exe"},
     {kAcc + "\\Clock2.exe"}, {StillRunningText(kAcc + "\\Clock1.exe")},
     [] {
         EXPECT_TRUE(Fake.closeMessages.empty());
         EXPECT_TRUE(FakeIsRunning(0x100));
     }},
    {"running clock that does not close",
     [] { FakeStartProgram(kAcc + "\\Clock1.exe", "", false); },
     {CannotDeleteText(kAcc + "\\Clock1.exe"), NotEmptyText(kAcc)}, {kAcc + "\\Clock1.exe"},
     {kData + "\\VELD00.QXP"}, {StillRunningText(kAcc + "\\Clock1.exe")},
     [] {
         EXPECT_TRUE(FakeIsRunning(0x100));
         ASSERT_FALSE(Fake.waits.empty());
         EXPECT_EQ(Fake.waits[0], std::make_pair(0x8000u + 0x100u, 10000u));
         EXPECT_EQ(Fake.closedHandles, std::vector<uint32_t>{0x8000u + 0x100u});
     },
     1603},
    {"several windows and instances make one question",
     [] {
         FakeStartProgram(kAcc + "\\Clock1.exe", "", true, 3);
         FakeStartProgram(kAcc + "\\Clock1.exe", "", true, 2);
     },
     {}, {}, {kAcc}, {StillRunningText(kAcc + "\\Clock1.exe")},
     [] {
         // Each window closed once; each process's program file asked once.
         EXPECT_EQ(Fake.closeMessages, (std::vector<uint32_t>{0x1000, 0x1001, 0x1002, 0x1040, 0x1041}));
         EXPECT_EQ(Fake.calls[kOpGetProcessImagePath], 2);
     }},
    {"programs asked about in erase order",
     [] {
         FakeStartProgram(kSaver);
         FakeStartProgram(kAcc + "\\Clock2.exe");
         FakeStartProgram(kApp + "\\VELDPZ.EXE");
     },
     {}, {}, {kAcc, kSaver},
     {StillRunningText(kApp + "\\VELDPZ.EXE"), StillRunningText(kAcc + "\\Clock2.exe"),
      StillRunningText(kSaver)}},
    {"clock started by its short name",
     [] {
         const std::string shortName = "C:\\GAMES\\KORVEN\\碧環~1\\ACC\\CLOCK1.EXE";
         Fake.shortNames[FakeFold(kAcc + "\\Clock1.exe")] = shortName;
         FakeStartProgram(kAcc + "\\Clock1.exe", shortName);
     },
     {}, {}, {kAcc}, {StillRunningText(kAcc + "\\Clock1.exe")}},
    // Paths in mixed form: a short file name in long folders, a long one
    // in short folders.
    {"clocks started by paths in mixed form",
     [] {
         const std::string shortName = kAcc + "\\CLOCK1~1.EXE";
         const std::string shortFolders = "C:\\GAMES\\KORVEN\\碧環~1\\ACC\\Clock2.exe";
         Fake.shortNames[FakeFold(kAcc + "\\Clock1.exe")] = "C:\\GAMES\\KORVEN\\碧環~1\\ACC\\CLOCK1~1.EXE";
         Fake.shortNames[FakeFold(kAcc + "\\Clock2.exe")] = "C:\\GAMES\\KORVEN\\碧環~1\\ACC\\CLOCK2~1.EXE";
         Fake.aliases[FakeFold(shortName)] = kAcc + "\\Clock1.exe";
         Fake.aliases[FakeFold(shortFolders)] = kAcc + "\\Clock2.exe";
         FakeStartProgram(kAcc + "\\Clock1.exe", shortName);
         FakeStartProgram(kAcc + "\\Clock2.exe", shortFolders);
     },
     {}, {}, {kAcc},
     {StillRunningText(kAcc + "\\Clock1.exe"), StillRunningText(kAcc + "\\Clock2.exe")}},
    // Another program's file is never looked up in the file system: the
    // short forms taken are the seven programs' own.
    {"another program running",
     [] {
         FakeAddFile("C:\\Tools\\notepad.exe");
         FakeStartProgram("C:\\Tools\\notepad.exe");
     },
     {}, {"C:\\Tools\\notepad.exe"}, {kAcc}, {},
     [] { EXPECT_EQ(Fake.calls[kOpGetShortPathName], 7); }},
    {"a program of the same name elsewhere",
     [] {
         FakeAddFile("C:\\Tools\\Clock1.exe");
         FakeStartProgram("C:\\Tools\\Clock1.exe");
     },
     {}, {"C:\\Tools\\Clock1.exe"}, {kAcc}, {}},
    // Never the uninstaller, whose starter may wait on it, nor this program.
    {"the uninstaller running",
     [] { FakeStartProgram(kApp + "\\VELDUNIN.EXE"); },
     {CannotDeleteText(kApp + "\\VELDUNIN.EXE"), NotEmptyText(kApp)}, {kApp + "\\VELDUNIN.EXE"},
     {kAcc}, {}, nullptr, 1603},
    {"this program itself",
     [] {
         Fake.selfId = FakeStartProgram(kAcc + "\\Clock1.exe");
         FakeStartProgram(kApp + "\\VELDPZ.EXE");
     },
     {CannotDeleteText(kAcc + "\\Clock1.exe"), NotEmptyText(kAcc)}, {kAcc + "\\Clock1.exe"}, {},
     {StillRunningText(kApp + "\\VELDPZ.EXE")}, nullptr, 1603},
    {"a program without a window",
     [] { FakeStartProgram(kAcc + "\\Clock1.exe", "", true, 0); },
     {CannotDeleteText(kAcc + "\\Clock1.exe"), NotEmptyText(kAcc)}, {kAcc + "\\Clock1.exe"}, {},
     {}, nullptr, 1603},
    {"older family", [] {
         Fake.platformId = 1;
         FakeStartProgram(kAcc + "\\Clock1.exe");
     },
     {}, {}, {kAcc}, {StillRunningText(kAcc + "\\Clock1.exe")}},
    {"NT 4.0 cannot tell a process's program",
     [] {
         Fake.processImages = false;
         FakeStartProgram(kAcc + "\\Clock1.exe");
     },
     {CannotDeleteText(kAcc + "\\Clock1.exe"), NotEmptyText(kAcc)}, {kAcc + "\\Clock1.exe"}, {},
     {}, nullptr, 1603},
    {"desktop folder ends in a two-byte character",
     [] {
         Fake.desktopDir = "C:\\USERS\\ソ";
         FakeAddFile(Fake.desktopDir + "\\パズル.LNK");
         Fake.codePage = 1252;
         LearnLeadBytes();
         Fake.codePage = 932;
     },
     {}, {}, {"C:\\USERS\\ソ\\パズル.LNK"}},
};

class EraseTable : public FakeTest, public ::testing::WithParamInterface<EraseCase> {};

// Each row runs as the older family's A calls see it, and with the NT
// family's W calls under the ANSI code pages 932, 1252 and 65001: the same
// boxes, in Japanese, and the same items removed.
TEST_P(EraseTable, Run)
{
    const EraseCase& c = GetParam();
    for (uint32_t codePage : {0u, 932u, 1252u, 65001u}) {
        if (codePage && c.ansiOnly)
            break;
        SCOPED_TRACE(codePage ? "W calls, ANSI code page " + std::to_string(codePage) : "A calls");
        FakeReset();
        InstallPackage();
        c.arrange();
        if (codePage) {
            FakeUseWideText(true);
            Fake.codePage = codePage;
        }
        EXPECT_EQ(EraserMain(""), 0);
        Fake.codePage = 932;
        FakeUseWideText(false);
        std::vector<std::string> warnings, questions;
        for (auto& box : Fake.boxes) {
            if (box.style == 0x30)
                warnings.push_back(box.text);
            if (box.style == 0x24)
                questions.push_back(box.text);
        }
        EXPECT_EQ(warnings, c.warnings) << BoxTexts();
        EXPECT_EQ(questions, c.questions) << BoxTexts();
        // The questions come first.
        for (size_t i = 0; i < questions.size(); i++)
            EXPECT_EQ(Fake.boxes[i].style, 0x24u) << BoxTexts();
        if (c.check)
            c.check();
        ASSERT_FALSE(Fake.boxes.empty());
        EXPECT_EQ(Fake.boxes.back().style, 0x40u);
        EXPECT_EQ(Fake.boxes.back().caption, "碧環デスクトップアクセサリー");
        for (auto& path : c.kept)
            EXPECT_TRUE(FakeExists(path)) << "removed: " << path;
        for (auto& path : c.gone)
            EXPECT_FALSE(FakeExists(path)) << "left: " << path;
        EXPECT_EQ(FakeKeyExists(kPackageKey), c.keyKept);
    }

    // The same run with /Q: no box, no copy, no system box, and the key
    // kept when something of the package stays.
    FakeReset();
    InstallPackage();
    c.arrange();
    EXPECT_EQ(EraserMain("/Q"), c.quietCode) << BoxTexts();
    EXPECT_TRUE(Fake.boxes.empty()) << BoxTexts();
    EXPECT_TRUE(Fake.launches.empty());
    EXPECT_EQ(Fake.errorMode, (uint32_t)kErrorModeNoBoxes);
    EXPECT_EQ(FakeKeyExists(kPackageKey), c.quietCode == 1603);
}

INSTANTIATE_TEST_SUITE_P(Cases, EraseTable, ::testing::ValuesIn(kEraseCases),
                         RowName<EraseCase>);

// The quiet run's log: appended, in the system's code page as the paths
// came (the second byte of ソ is 0x5C), CR LF, and its codes.
TEST_F(EraseRunTest, QuietRunsLogWhatHappenedAndEndWithTheirCodes)
{
    const std::string base = "C:\\ソフト", app = base + "\\KORVEN\\碧環デスクトップアクセサリー";
    const std::string log = "C:\\表示\\ソフト.log", args = "/Q /L\"" + log + "\"";
    InstallPackage(base + "\\");
    FakeAddFolder("C:\\表示");
    FakeLock(app + "\\DATA\\VELDPZ.SAV");
    FakeStartProgram(app + "\\ACC\\Clock1.exe", "", false);
    FakeStartProgram(app + "\\ACC\\Clock2.exe");
    EXPECT_EQ(EraserMain(args.c_str()), 1603);
    EXPECT_TRUE(FakeKeyExists(kPackageKey));  // for the run that finishes the job
    Fake.nodes[FakeFold(app + "\\DATA\\VELDPZ.SAV")].locked = false;
    Fake.nodes[FakeFold(app + "\\ACC\\Clock1.exe")].locked = Fake.processes[0].running = false;
    EXPECT_EQ(EraserMain("/quiet /s"), 0);  // to the temporary folder's log
    EXPECT_EQ(EraserMain(args.c_str()), 1605);
    EXPECT_FALSE(FakeKeyExists(kPackageKey));

    std::string text = FakeRead(log);
    std::vector<std::string> lines;
    for (size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
        lines.push_back(text.substr(at, end - at));
    ASSERT_GE(lines.size(), 4u) << text;
    EXPECT_EQ(text.size(), text.find_last_of('\n') + 1) << "a line without CR LF";
    EXPECT_EQ(lines[0], "2026-12-10 09:05:07\t" + args);
    auto has = [&](const std::string& line) {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    };
    EXPECT_TRUE(has("STILL RUNNING\t" + app + "\\ACC\\Clock1.exe"));
    EXPECT_TRUE(has("CLOSED\t" + app + "\\ACC\\Clock2.exe"));
    EXPECT_TRUE(has("DELETED\t" + app + "\\VELDPZ.EXE"));
    EXPECT_TRUE(has("DELETED\tC:\\WINDOWS\\碧環スクリーンセーバー１.scr"));
    EXPECT_TRUE(has("DELETED\t" + kDesktop + "\\パズル.LNK"));
    EXPECT_TRUE(has("KEPT FOLDER\t" + app + "\\ACC"));
    EXPECT_TRUE(has("KEPT\t" + app + "\\DATA\\VELDPZ.SAV\t5"));
    EXPECT_TRUE(has("AT RESTART\tC:\\WINDOWS\\TEMP\\VELDUNIN.EXE"));
    EXPECT_FALSE(has("DELETED\tHKCU\\" + kPackageKey));
    EXPECT_TRUE(has("RESULT 1603"));
    EXPECT_EQ(lines.back(), "RESULT 1605\tyuki");  // the third run's, appended
    std::string second = FakeRead("C:\\WINDOWS\\TEMP\\VELDUNIN.LOG");
    EXPECT_NE(second.find("DELETED\tHKCU\\" + kPackageKey + "\r\nDELETED\tHKCU\\" + kMakerKey + "\r\n"),
              std::string::npos) << second;
    EXPECT_EQ(second.substr(second.size() - 10), "RESULT 0\r\n");
    EXPECT_NE(second.find("DELETED\t" + app + "\r\n"), std::string::npos) << second;
}

TEST_F(EraseRunTest, QuietRunFromInsideThePackageKeepsItsOwnFile)
{
    InstallPackage();
    Fake.modulePath = kApp + "\\VELDUNIN.EXE";
    EXPECT_EQ(EraserMain("/Q"), 1603);
    EXPECT_TRUE(FakeExists(Fake.modulePath));
    EXPECT_TRUE(FakeExists(kMakerDir));
    EXPECT_TRUE(Fake.delayedDeletes.empty());
    EXPECT_NE(FakeRead("C:\\WINDOWS\\TEMP\\VELDUNIN.LOG").find("KEPT\t" + Fake.modulePath + "\t32"),
              std::string::npos);
}

// A log that cannot be had never stops the run; an InstallDir that is there
// but unusable is a failed run, not a missing one.
TEST_F(EraseRunTest, QuietRunWithoutItsLogAndWithABrokenInstallation)
{
    for (const char* args : {"/Q /L", "/Q /Lrelative.log", "/Q /LC:\\absent\\x.log", "/Q /LC:\\WINDOWS",
                             "/Q /LC:\\link.log"}) {
        FakeReset();
        InstallPackage();
        FakeAddFile("C:\\link.log");
        LinkAt("C:\\link.log", 0xA000000C);  // another's file, through a symbolic link
        EXPECT_EQ(EraserMain(args), 0) << args;
        EXPECT_FALSE(FakeExists("C:\\WINDOWS\\TEMP\\VELDUNIN.LOG")) << args;
        EXPECT_EQ(FakeRead("C:\\link.log"), "") << args;
        EXPECT_FALSE(FakeExists(kApp)) << args;
    }
    // A log whose first write fails is given up (and closed); the run goes on.
    FakeReset();
    InstallPackage();
    Fake.failOp = kOpWriteFile;
    Fake.failNth = 1;
    EXPECT_EQ(EraserMain("/Q"), 0);
    EXPECT_EQ(FakeRead("C:\\WINDOWS\\TEMP\\VELDUNIN.LOG"), "");
    EXPECT_FALSE(FakeExists(kApp));
    EXPECT_EQ(Fake.openHandles, 0);
    // A key that cannot be deleted is an item of the package that stays.
    FakeReset();
    InstallPackage();
    Fake.failOp = kOpRegDeleteKey;
    EXPECT_EQ(EraserMain("/Q"), 1603);
    EXPECT_NE(FakeRead("C:\\WINDOWS\\TEMP\\VELDUNIN.LOG").find("KEPT\tHKCU\\" + kPackageKey + "\t31\r\n"),
              std::string::npos);
    FakeReset();
    FakeSetString(kPackageKey, "InstallDir", "");
    EXPECT_EQ(EraserMain("/Q"), 1603);
    EXPECT_EQ(EraserMain(""), kExitNoInstallation);
}

// With the NT family's W calls the program's text is UTF-8: names outside
// code page 932 pass through whole, no lead-byte rule splits them, and a
// package installed without a locale emulator is found under the ANSI code
// page's reading of its names, where that code page is a single-byte one.
TEST_F(EraseRunTest, OnTheNtFamilyEveryNameIsExactWhateverTheCodePage)
{
    auto utf8 = [](const std::string& cp932) { return FakeRecode(cp932, 932, 65001); };
    auto as1252 = [](const std::string& cp932) { return FakeRecode(cp932, 1252, 65001); };
    const std::string name = "碧環デスクトップアクセサリー";
    const std::string otherApp = utf8(kMakerDir) + "\\" + as1252(name);
    // Every name of the package as a system of that code page read its
    // bytes when the installer made them.
    auto installUnder = [&](uint32_t codePage, const std::string& base) {
        auto as = [&](const std::string& cp932) { return FakeRecode(cp932, codePage, 65001); };
        FakeRename(utf8(base + "\\KORVEN\\" + name), utf8(base + "\\KORVEN\\") + as(name));
        const std::string group = utf8(kPrograms) + "\\" + as(name);
        FakeRename(utf8(kGroup), group);
        for (const char* link : {"碧環デスクトップパズル", "ミルカ時計", "トア時計", "アンインストール"})
            FakeRename(group + "\\" + utf8(link) + ".LNK", group + "\\" + as(link) + ".LNK");
        FakeRename(utf8(kDesktop + "\\パズル.LNK"), utf8(kDesktop) + "\\" + as("パズル.LNK"));
        for (const char* saver : {"碧環スクリーンセーバー１.scr", "碧環スクリーンセーバー２.dat"})
            FakeRename(utf8(Fake.windowsDir) + "\\" + utf8(saver),
                       Fake.windowsDir + "\\" + as(saver));
    };
    auto installUnder1252 = [&] { installUnder(1252, kBase); };
    // An install folder whose paths fit with the package's own names as
    // UTF-8, not with their reading under 1252 (longer there).
    const std::string longBase =
        "C:\\" + std::string(kPathSize - 1 - 3 - 8 - utf8(name).size() - 17, 'a');
    const std::string accented = u8"C:\\USERS\\Zoé\\Bureau été", temp = u8"C:\\TEMP\\été あ\\";
    const struct {
        const char* name;
        uint32_t codePage;
        std::function<void()> arrange;  // on the state in UTF-8
        std::vector<std::string> kept, gone;
        std::string installDir;  // empty: the usual one
        std::string logged;  // a line of the log holds it
        int quietCode;       // 0: 1603 with a line logged, else 0
    } cases[] = {
        {"names outside code page 932", 932,
         [&] {
             FakeAddFile(accented + "\\" + utf8("パズル.LNK"));
             Fake.desktopDir = accented;
             FakeAddFolder(temp);
             Fake.tempDir = temp;
             Fake.modulePath = temp + "VELDUNIN.EXE";
             FakeAddFile(Fake.modulePath, "MZ");
         },
         {}, {accented + "\\" + utf8("パズル.LNK"), utf8(kApp), utf8(kGroup)}},
        // A lead-byte rule would take the separator after あ for half of it.
        {"an install folder ending in a kana and a separator", 932,
         [&] { FakeLock(utf8("C:\\ゲームあ\\KORVEN\\碧環デスクトップアクセサリー\\VELDPZ.EXE")); },
         {utf8("C:\\ゲームあ")}, {utf8("C:\\ゲームあ\\KORVEN\\碧環デスクトップアクセサリー\\ACC")},
         "C:\\ゲームあ\\", "\t" + utf8("C:\\ゲームあ\\KORVEN\\碧環デスクトップアクセサリー\\VELDPZ.EXE\t")},
        {"installed under code page 1252", 1252, installUnder1252, {utf8(kBase)},
         {otherApp, utf8(kPrograms) + "\\" + as1252(name), utf8(kMakerDir),
          Fake.windowsDir + "\\" + as1252("碧環スクリーンセーバー１.scr"),
          utf8(kDesktop) + "\\" + as1252("パズル.LNK")}},
        {"no package folder left, the group under code page 1252", 1252,
         [&] {
             installUnder1252();
             Drop(otherApp);
             Drop(Fake.windowsDir + "\\" + as1252("碧環スクリーンセーバー１.scr"));
         },
         {}, {utf8(kPrograms) + "\\" + as1252(name), Fake.windowsDir + "\\" + as1252("碧環スクリーンセーバー２.dat")}},
        {"no package folder nor group left, the screen savers under their own names", 1252,
         [&] {
             Drop(utf8(kApp));
             Drop(utf8(kGroup));
         },
         {}, {Fake.windowsDir + "\\" + utf8("碧環スクリーンセーバー１.scr")}},
        {"only a screen saver left under code page 1252", 1252,
         [&] {
             installUnder1252();
             Drop(otherApp);
             Drop(utf8(kPrograms) + "\\" + as1252(name));
         },
         {}, {Fake.windowsDir + "\\" + as1252("碧環スクリーンセーバー１.scr")}},
        {"installed under code page 936", 936, [&] { installUnder(936, kBase); }, {utf8(kBase)},
         {utf8(kMakerDir), utf8(kDesktop) + "\\" + FakeRecode("パズル.LNK", 936, 65001)}},
        // An install folder without a drive is read against the Windows
        // folder, wherever the program started.
        {"a relative install folder under code page 1252", 1252,
         [&] {
             FakeRename(utf8(kBase), Fake.windowsDir + "\\Games");
             FakeSetString(kPackageKey, "InstallDir", "Games\\");
             installUnder(1252, Fake.windowsDir + "\\Games");
             Drop(utf8(kPrograms) + "\\" + as1252(name));
             Drop(Fake.windowsDir + "\\" + as1252("碧環スクリーンセーバー１.scr"));
             Fake.currentDir = "C:\\";
         },
         {Fake.windowsDir + "\\Games"}, {Fake.windowsDir + "\\Games\\KORVEN"}},
        // Paths of the other reading too long: no installation, nothing
        // anywhere else touched.
        {"a reading whose paths would not fit", 1252,
         [&] {
             installUnder(1252, longBase);
             FakeAddFile("C:\\VELDPZ.EXE", "another's");
             FakeAddFile("C:\\DATA\\VELDPZ.SAV", "another's");
         },
         {"C:\\VELDPZ.EXE", "C:\\DATA\\VELDPZ.SAV", longBase + "\\KORVEN\\" + as1252(name) + "\\VELDPZ.EXE"},
         {}, longBase + "\\", "", 1603},
        {"someone else's folder under that reading", 1252,
         [&] {
             Drop(utf8(kApp));
             FakeAddFile(otherApp + "\\readme.txt");
         },
         {otherApp + "\\readme.txt", utf8(kPrograms)}, {utf8(kGroup)}},
        // Under UTF-8 the bytes read as replacement characters.
        {"no reading taken under UTF-8", 65001,
         [&] { FakeRename(utf8(kApp), utf8(kMakerDir) + "\\" + FakeRecode(name, 65001, 65001)); },
         {utf8(kMakerDir) + "\\" + FakeRecode(name, 65001, 65001) + "\\VELDPZ.EXE"}, {}},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeReset();
        InstallPackage(c.installDir.empty() ? "C:\\Games\\" : c.installDir);
        FakeUseWideText(true);
        Fake.codePage = c.codePage;
        c.arrange();
        EXPECT_EQ(EraserMain("/Q"), c.quietCode ? c.quietCode : c.logged.empty() ? 0 : 1603);
        for (auto& path : c.kept)
            EXPECT_TRUE(FakeExists(path)) << "removed: " << path;
        for (auto& path : c.gone)
            EXPECT_FALSE(FakeExists(path)) << "left: " << path;
        std::string log = FakeRead(Fake.tempDir + "VELDUNIN.LOG");
        EXPECT_NE(log.find(c.logged), std::string::npos) << log;
    }
    // The first case's restart request names the program's own file as it
    // is; its log is UTF-8 and says so once, at the start of a new file.
    FakeReset();
    InstallPackage();
    FakeUseWideText(true);
    FakeAddFolder(temp);
    Fake.tempDir = temp;
    Fake.modulePath = temp + "VELDUNIN.EXE";
    FakeAddFile(Fake.modulePath, "MZ");
    EXPECT_EQ(EraserMain(""), 0);
    EXPECT_EQ(Fake.delayedDeletes, std::vector<std::string>{Fake.modulePath});
    EXPECT_EQ(Fake.boxes.back().text, utf8("アプリケーションを削除しました。\n"
                                           "アンインストール処理を完全に終了するためには\n"
                                           "システムを再起動してください。"));
    EXPECT_EQ(EraserMain("/Q"), 1605);
    EXPECT_EQ(EraserMain("/Q"), 1605);
    std::string log = FakeRead(temp + "VELDUNIN.LOG");
    EXPECT_EQ(log.compare(0, 3, "\xEF\xBB\xBF"), 0);
    EXPECT_EQ(log.find("\xEF\xBB\xBF", 3), std::string::npos);

    // Without code page 932 (a Western Windows without East Asian
    // support), the package's texts are what the ANSI code page makes of
    // them, boxes and names alike.
    FakeReset();
    InstallPackage();
    FakeUseWideText(true);
    Fake.codePage = 1252;
    Fake.noCodePage932 = true;
    installUnder1252();
    FakeLock(otherApp + "\\VELDPZ.EXE");
    EXPECT_EQ(EraserMain(""), 0);
    EXPECT_FALSE(FakeExists(otherApp + "\\ACC"));
    ASSERT_FALSE(Fake.boxes.empty());
    EXPECT_EQ(Fake.boxes[0].caption, as1252(name));
    EXPECT_EQ(Fake.boxes[0].text,
              "\n" + otherApp + "\\VELDPZ.EXE" + as1252("\n\nが削除できませんでした。"));
}
