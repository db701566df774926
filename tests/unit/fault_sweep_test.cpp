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

static void InstallWithBystanders(uint32_t platformId)
{
    FakeReset();
    Fake.platformId = platformId;
    FakeAddFile(kIni, kOldIni);
    InstallPackage();
    FakeAddFile(kData + "\\notes.txt", "mine");
    FakeAddFile(kMakerDir + "\\Other\\game.exe", "other");
    FakeAddFile(kGroup + "\\Extra.LNK", "mine");
    FakeSetString(kMakerKey, "Serial", "1");
}

// Failures of these read as "absent" or "not a save file", which the run
// passes over silently by design.
static bool ReadsAsAbsent(FakeOp op)
{
    return op == kOpFindFirstFile || op == kOpFindNextFile || op == kOpGetSpecialFolderPath ||
           op == kOpCreateFile || op == kOpReadFile || op == kOpSetFilePointer ||
           op == kOpGetACP || op == kOpGetCPInfo;
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
static long SweepEraseRun(uint32_t platformId)
{
    // The run without a fault: the bystanders keep the Start Menu group and
    // the DATA folder (with its parents), each with its notice.
    InstallWithBystanders(platformId);
    const std::set<std::string> owned = OwnedPaths("C:\\Games\\");
    const std::set<std::string> before = AllPaths();
    EXPECT_EQ(EraserMain(""), 0);
    const long calls = Fake.seq;
    const std::set<std::string> cleanLeft = OwnedLeft(owned);

    for (long seq = 1; seq <= calls; seq++) {
        InstallWithBystanders(platformId);
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
    EXPECT_GT(older, nt);
    printf("fault sweep: %ld and %ld system calls of an erase run (NT family, older family) "
           "failed in turn\n", nt, older);
}
