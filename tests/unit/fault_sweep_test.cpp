// Every system call of a whole erase run made to fail, one at a time.
#include "tests/package_model.h"
#include "tests/unit/fixture.h"

static void InstallWithBystanders()
{
    FakeReset();
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

TEST(FaultSweep, EveryFailedCallIsSurvivedReportedAndHarmless)
{
    InstallWithBystanders();
    ASSERT_EQ(EraserMain(""), 0);
    const long calls = Fake.seq;

    int swept = 0;
    for (long seq = 1; seq <= calls; seq++) {
        InstallWithBystanders();
        const std::set<std::string> owned = OwnedPaths("C:\\Games\\");
        const std::set<std::string> before = AllPaths();
        Fake.failSeq = seq;
        int code = EraserMain("");
        FakeOp op = Fake.injectedOp;
        SCOPED_TRACE("call " + std::to_string(seq) + ": " +
                     (op == kOpCount ? "none" : FakeOpNames[op]));
        swept++;

        ASSERT_EQ(Fake.openHandles, 0);
        const std::set<std::string> after = AllPaths();
        for (const std::string& path : before) {
            if (!after.count(path))
                EXPECT_TRUE(owned.count(path)) << "removed a bystander: " << path;
        }
        if (code == kExitNoInstallation) {
            EXPECT_TRUE(op == kOpRegOpenKey || op == kOpRegQueryValue);
            EXPECT_EQ(after, before);
            EXPECT_TRUE(Fake.boxes.empty());
            continue;
        }
        EXPECT_EQ(code, 0);
        if (op != kOpMessageBox || Fake.boxes.empty() || Fake.boxes.back().style == 0x40) {
            ASSERT_FALSE(Fake.boxes.empty());
            EXPECT_EQ(Fake.boxes.back().style, 0x40u) << "no completion message";
        }
        int warnings = 0;
        for (auto& box : Fake.boxes)
            warnings += IsWarning(box.style);
        // Without a fault, the bystanders give three notices (Start Menu
        // group, DATA folder, and nothing further up). A package file left
        // behind by any fault other than a lookup must have added one.
        bool packageLeft = false;
        for (const std::string& path : owned)
            packageLeft |= after.count(path) && !FakeIsFolder(Fake.nodes[path].path);
        if ((op == kOpDeleteFile || op == kOpRemoveDirectory) && Fake.deleted.size() < 40)
            EXPECT_GE(warnings, 1) << BoxTexts();
        if (packageLeft && !ReadsAsAbsent(op) && op != kOpMessageBox)
            EXPECT_GE(warnings, 3) << BoxTexts();
    }
    EXPECT_EQ(swept, calls);
    RecordProperty("calls_swept", (int)calls);
    printf("fault sweep: %ld system calls of one erase run failed in turn\n", calls);
}
