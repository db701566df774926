// Every system call of a whole erase run made to fail, one at a time.
#include "tests/package_model.h"
#include "tests/unit/fixture.h"

static const std::string kIni = "C:\\WINDOWS\\WININIT.INI";
static const std::string kOldIni = "[boot]\r\nshell=Explorer.exe\r\n[rename]\r\nA=B\r\n";
static const std::string kRequest = "NUL=C:\\WINDOWS\\TEMP\\VELDUNIN.EXE\r\n";
// The request after the header, as the rewrite puts it, or at the end of
// the section, as the profile call does when the file looked absent.
static const std::string kNewIni =
    "[boot]\r\nshell=Explorer.exe\r\n[rename]\r\n" + kRequest + "A=B\r\n";
static const std::string kProfileIni = kOldIni + kRequest;

// wideCodePage: the NT family's W calls under that ANSI code page.
static std::set<std::string> InstallWithBystanders(uint32_t platformId, uint32_t wideCodePage)
{
    FakeReset();
    Fake.platformId = platformId;
    FakeAddFile(kIni, kOldIni);
    InstallPackage();
    FakeAddFile(kData + "\\notes.txt", "mine");
    FakeAddFile(kMakerDir + "\\Other\\game.exe", "other");
    FakeAddFile(kGroup + "\\Extra.LNK", "mine");
    FakeSetString(kMakerKey, "Serial", "1");
    std::set<std::string> owned = OwnedPaths("C:\\Games\\"), wide;
    if (!wideCodePage)
        return owned;
    FakeUseWideText(true);
    Fake.codePage = wideCodePage;
    for (const std::string& path : owned)
        wide.insert(FakeFold(FakeRecode(path, 932, 65001)));
    return wide;
}

// Failures of these read as "absent" or "not a save file", which the run
// passes over silently by design.
static bool ReadsAsAbsent(FakeOp op)
{
    return op == kOpFindFirstFile || op == kOpFindNextFile || op == kOpGetSpecialFolderPath ||
           op == kOpCreateFile || op == kOpReadFile || op == kOpSetFilePointer ||
           op == kOpGetACP || op == kOpGetCPInfo || op == kOpOpenFolder ||
           op == kOpFindFirstAt || op == kOpFindNextAt || op == kOpReadItem;
}

// The paths the warnings name (each notice starts with "\n<path>\n").
static std::vector<std::string> NamedPaths()
{
    std::vector<std::string> named;
    for (auto& box : Fake.boxes) {
        if (IsWarning(box.style))
            named.push_back(FakeFold(box.text.substr(1, box.text.find('\n', 1) - 1)));
    }
    return named;
}

static bool Within(const std::string& inner, const std::string& outer)
{
    return inner == outer || inner.compare(0, outer.size() + 1, outer + "\\") == 0;
}

// A package item left behind is accounted for when a notice names it, a
// folder it lies in, or something inside it that kept it.
static bool Reported(const std::string& path)
{
    for (const std::string& named : NamedPaths()) {
        if (Within(path, named) || Within(named, path))
            return true;
    }
    return false;
}

static std::set<std::string> OwnedLeft(const std::set<std::string>& owned)
{
    std::set<std::string> left;
    for (const std::string& path : owned) {
        if (Fake.nodes.count(path))
            left.insert(path);
    }
    return left;
}

// Makes each system call of one erase run fail in turn; returns how many.
static long SweepEraseRun(uint32_t platformId, uint32_t wideCodePage = 0)
{
    // The run without a fault: the bystanders keep the Start Menu group and
    // the DATA folder (with its parents), each with its notice.
    const std::set<std::string> owned = InstallWithBystanders(platformId, wideCodePage);
    const std::set<std::string> before = AllPaths();
    EXPECT_EQ(EraserMain(""), 0);
    const long calls = Fake.seq;
    const std::set<std::string> cleanLeft = OwnedLeft(owned);

    for (long seq = 1; seq <= calls; seq++) {
        InstallWithBystanders(platformId, wideCodePage);
        Fake.failSeq = seq;
        int code = EraserMain("");
        FakeOp op = Fake.injectedOp;
        SCOPED_TRACE("call " + std::to_string(seq) + ": " +
                     (op == kOpCount ? "none" : FakeOpNames[op]));

        EXPECT_EQ(Fake.openHandles, 0);
        EXPECT_TRUE(FakeKeyExists(kMakerKey)) << "the maker key held a value";
        const std::string ini = FakeRead(kIni);
        EXPECT_TRUE(ini == kOldIni || ini == kNewIni || ini == kProfileIni)
            << "WININIT.INI now holds: " << ini;
        for (const std::string& path : before) {
            if (!Fake.nodes.count(path)) {
                EXPECT_TRUE(owned.count(path)) << "removed a bystander: " << path;
            }
        }
        if (code == kExitNoInstallation) {
            EXPECT_TRUE(op == kOpRegOpenKey || op == kOpRegQueryValue);
            EXPECT_EQ(AllPaths(), before);
            EXPECT_TRUE(Fake.boxes.empty());
            continue;
        }
        EXPECT_EQ(code, 0);
        if (op != kOpMessageBox) {
            EXPECT_TRUE(!Fake.boxes.empty() && Fake.boxes.back().style == 0x40u)
                << "no completion message";
        }
        // Anything more of the package left behind must have been
        // reported, unless the failure read as "absent" or "not a save".
        if (ReadsAsAbsent(op) || op == kOpMessageBox)
            continue;
        for (const std::string& path : OwnedLeft(owned)) {
            // A save slot that cannot be opened cannot be read either.
            if (op == kOpOpenItemAt && path.find("BRISK") != std::string::npos)
                continue;
            if (!cleanLeft.count(path)) {
                EXPECT_TRUE(Reported(path)) << "left silently: " << path << "\n" << BoxTexts();
            }
        }
    }
    return calls;
}

TEST(FaultSweep, EveryFailedCallIsSurvivedReportedAndHarmless)
{
    long nt = SweepEraseRun(kPlatformWin32Nt);
    long older = SweepEraseRun(1);  // with the WININIT.INI rewrite
    long wide = SweepEraseRun(kPlatformWin32Nt, 1252);
    EXPECT_GT(older, nt);
    printf("fault sweep: %ld, %ld and %ld system calls of an erase run (NT family, older family, "
           "NT family's W calls under code page 1252) failed in turn\n", nt, older, wide);
}

// Another program of the user's renames a folder of the package tree at
// each call of a run in turn, puts a link to a decoy in its place, or
// makes the folder itself a link to one. The decoys hold files and
// folders of the package's names; none may ever go, nor anything else
// that is not the package's, and the run ends as usual.
enum Interference { kRenameAway, kRenameAndLink, kLinkInPlace, kInterferenceCount };
static const char* const kDecoyRoot = "C:\\Decoy";

static void CopyAsDecoy(const std::string& from, const std::string& to)
{
    for (const std::string& path : FakeList(from)) {
        if (FakeFold(path) != FakeFold(from) && FakeFold(path).compare(0, FakeFold(from).size() + 1,
                                                                         FakeFold(from) + "\\") != 0)
            continue;
        std::string copy = to + path.substr(from.size());
        if (FakeIsFolder(path))
            FakeAddFolder(copy);
        else
            FakeAddFile(copy, FakeRead(path));
        Fake.nodes[FakeFold(copy)].decoy = true;
    }
}

static const std::string kTreeFolders[] = {kBase, kMakerDir, kApp, kData, kAcc};

static void InstallWithDecoys(bool wineRules, bool limitedToken)
{
    FakeReset();
    Fake.wineRules = wineRules;
    if (limitedToken)
        Fake.token = kFakeTokenLimited;
    InstallPackage();
    for (size_t i = 0; i < std::size(kTreeFolders); i++)
        CopyAsDecoy(kTreeFolders[i], std::string(kDecoyRoot) + "\\" + std::to_string(i));
}

// 1 when the other program could do it.
static bool Interfere(size_t folder, Interference kind, bool limitedToken)
{
    const std::string& path = kTreeFolders[folder];
    // The install folder is the user's choice, followed wherever it leads
    // until the process that removes the machine's items holds it: with a
    // limited token that is the elevated copy, which opens it anew while
    // the first process holds it too.
    if (folder == 0 && (!FakeExists(path) || !Fake.nodes[FakeFold(path)].holds ||
                        (limitedToken && (Fake.process != 1 || Fake.nodes[FakeFold(path)].holds < 2))))
        return false;
    std::string decoy = std::string(kDecoyRoot) + "\\" + std::to_string(folder);
    if (kind == kLinkInPlace)
        return FakeSetLink(path, decoy);
    if (!FakeRename(path, path + ".old"))
        return false;
    return kind == kRenameAway || FakeSetLink(path, decoy);
}

// The calls another program can come between: the file system's.
static bool IsFileCall(FakeOp op)
{
    return op == kOpFindFirstFile || op == kOpGetFileAttributes || op == kOpDeleteFile ||
           op == kOpRemoveDirectory || op == kOpCreateFile || op == kOpOpenFolder ||
           op == kOpOpenItemAt || op == kOpFindFirstAt || op == kOpDeleteItem;
}

// Returns how many interleavings were tried; failed counts those where a
// rule broke.
static long SweepInterference(bool wineRules, bool limitedToken, long* failed)
{
    InstallWithDecoys(wineRules, limitedToken);
    const FakeState installed = Fake;
    std::set<uint64_t> owned;
    for (const std::string& path : OwnedPaths(kBase + "\\"))
        owned.insert(Fake.nodes.count(path) ? Fake.nodes[path].id : 0);
    EXPECT_EQ(EraserMain(""), 0);
    const std::vector<FakeOp> trace = Fake.trace;
    long tried = 0;
    for (long seq = 1; seq <= (long)trace.size(); seq++) {
        if (!IsFileCall(trace[seq - 1]))
            continue;
        for (size_t folder = 0; folder < std::size(kTreeFolders); folder++) {
            for (int kind = 0; kind < kInterferenceCount; kind++) {
                Fake = installed;
                VirtualStore.present = 0;
                bool done = false;
                Fake.interfereAt = seq;
                Fake.interfere = [&] { done = Interfere(folder, (Interference)kind, limitedToken); };
                int code = EraserMain("");
                if (!done)
                    continue;
                tried++;
                SCOPED_TRACE("call " + std::to_string(seq) + " (" + FakeOpNames[trace[seq - 1]] +
                             "), folder " + kTreeFolders[folder] + ", interference " +
                             std::to_string(kind) + (wineRules ? ", Wine's rules" : "") +
                             (limitedToken ? ", elevated copy" : ""));
                bool ok = code == 0 && !Fake.boxes.empty() && Fake.boxes.back().style == 0x40u;
                EXPECT_TRUE(ok) << "exit code " << code << "\n" << BoxTexts();
                for (size_t i = 0; i < Fake.deletedIds.size(); i++) {
                    bool own = owned.count(Fake.deletedIds[i]) > 0;
                    ok = ok && own;
                    EXPECT_TRUE(own) << "deleted what is not the package's: " << Fake.deleted[i];
                }
                *failed += !ok;
            }
        }
    }
    return tried;
}

TEST(FaultSweep, NothingButThePackageGoesWhateverAnotherProgramDoesMeanwhile)
{
    long failed = 0, tried = 0;
    for (bool wineRules : {false, true}) {
        for (bool limitedToken : {false, true})
            tried += SweepInterference(wineRules, limitedToken, &failed);
    }
    printf("interference sweep: %ld interleavings of another program's renames and links tried "
           "(plain runs and elevated copies, Windows' and Wine's rules), %ld failed\n",
           tried, failed);
}
