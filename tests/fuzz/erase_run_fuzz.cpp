// A whole erase run over a system filled at random from the package's
// names, bystander names and random names, with random locks: nothing
// outside what the package owns is ever removed, and the run always
// reaches the completion message.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>
#include <vector>

#include "control/eraser.h"
#include "tests/fake_system.h"
#include "tests/package_model.h"

static const char* const kInstallDirs[] = {"C:\\Games\\", "C:\\", "C:\\Games", "C:\\ソフト\\"};
static const char* const kPackageNames[] = {
    "VELDUNIN.EXE", "VELDPZ.EXE", "DATA\\VELD00.QXP", "DATA\\VELD04.QXP", "ACC\\Clock1.exe",
    "ACC\\Clock2.exe", "DATA\\VELDPZ.SAV", "DATA\\VELDPZ.ENV", "DATA\\VELDPZ.LOG",
    "DATA\\BRISK00.SAV", "DATA\\BRISK13.SAV", "DATA\\BRISK20.SAV"};
static const char* const kBystanderNames[] = {
    "DATA\\BRISK21.SAV", "DATA\\BRISK5.SAV", "DATA\\notes.txt", "ACC\\Clock3.exe",
    "VELDPZ.EXE.bak", "DATA\\VELDPZ.SAV~", "DATA\\Sub\\BRISK01.SAV", "ソ\\x", "..\\Other\\a.txt",
    "..\\..\\keep.txt", "ACC\\ソ.txt", "DATA\\BRISK07.SA"};

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    FakeReset();
    const std::string installDir = in.PickValueInArray(kInstallDirs);
    Fake.platformId = in.ConsumeBool() ? 2 : 1;
    Fake.desktopDir = in.ConsumeBool() ? "C:\\Users\\Desktop" : "";
    Fake.programsDir = in.ConsumeBool() ? "C:\\Users\\Start Menu\\Programs" : "";
    FakeSetString("Software\\KORVEN\\VELDARIN_DESKTOP", "InstallDir", installDir);
    std::string base = installDir.size() > 3 && installDir.back() == '\\'
                           ? installDir.substr(0, installDir.size() - 1)
                           : installDir == "C:\\" ? "C:" : installDir;
    std::string app = base + "\\KORVEN\\碧環デスクトップアクセサリー";
    std::string group = Fake.programsDir + "\\碧環デスクトップアクセサリー";
    FakeAddFolder(base);

    std::vector<std::string> made;
    while (in.remaining_bytes() > 0) {
        std::string path;
        switch (in.ConsumeIntegralInRange(0, 7)) {
        case 0: path = app + "\\" + in.PickValueInArray(kPackageNames); break;
        case 1: path = app + "\\" + in.PickValueInArray(kBystanderNames); break;
        case 2: path = app + "\\" + in.ConsumeRandomLengthString(24); break;
        case 3: path = Fake.windowsDir + "\\碧環スクリーンセーバー" +
                       (in.ConsumeBool() ? "１.scr" : "２.dat"); break;
        case 4: path = (in.ConsumeBool() ? group + "\\トア時計.LNK" : group + "\\mine.LNK"); break;
        case 5: path = Fake.desktopDir + (in.ConsumeBool() ? "\\パズル.LNK" : "\\パズル.txt"); break;
        case 6:
            if (!made.empty() && FakeExists(made.back()))
                FakeLock(made[in.ConsumeIntegralInRange<size_t>(0, made.size() - 1)]);
            continue;
        default:
            FakeSetString("Software\\KORVEN" + std::string(in.ConsumeBool() ? "\\Other" : ""), "v", "1");
            continue;
        }
        if (path.find('\0') != std::string::npos || path.size() > 400 || path[0] == '\\')
            continue;
        std::string content = in.ConsumeBool() ? "BRISK Save " + std::string(24, 'x') : "data";
        if (in.ConsumeBool() || path.size() < 4)
            FakeAddFile(path, content);
        else
            FakeAddFolder(path);
        if (FakeExists(path))
            made.push_back(path);
    }

    const std::set<std::string> owned = OwnedPaths(installDir);
    const std::set<std::string> before = AllPaths();
    const std::vector<std::string> keysBefore = [] {
        std::vector<std::string> k;
        for (auto& [name, key] : Fake.keys)
            k.push_back(name);
        return k;
    }();
    int code = EraserMain("");
    if (code != 0 || Fake.boxes.empty() || Fake.boxes.back().style != 0x40 || Fake.openHandles)
        __builtin_trap();
    for (const std::string& path : before) {
        if (!Fake.nodes.count(path) && !owned.count(path))
            __builtin_trap();  // a bystander was removed
    }
    for (const std::string& key : keysBefore) {
        if (!Fake.keys.count(key) && key != FakeFold("Software\\KORVEN\\VELDARIN_DESKTOP") &&
            key != FakeFold("Software\\KORVEN"))
            __builtin_trap();
    }
    return 0;
}
