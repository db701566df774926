#include "tests/package_model.h"

#include "tests/fake_system.h"

static const char* const kTableFiles[] = {
    "VELDUNIN.EXE", "VELDPZ.EXE", "DATA\\VELD00.QXP", "DATA\\VELD01.QXP", "DATA\\VELD02.QXP",
    "DATA\\VELD03.QXP", "DATA\\VELD04.QXP", "ACC\\Clock1.exe", "ACC\\Clock2.exe",
    "DATA\\VELDPZ.SAV", "DATA\\VELDPZ.ENV", "DATA\\VELDPZ.LOG", "DATA", "ACC", ""};
static const char* const kSavers[] = {"１", "２", "３", "４"};
static const char* const kGroupShortcuts[] = {"碧環デスクトップパズル", "ミルカ時計", "トア時計",
                                              "アンインストール"};

std::set<std::string> OwnedPaths(const std::string& installDir)
{
    std::set<std::string> owned;
    std::string base = installDir;
    while (base.size() > 1 && base.back() == '\\')
        base.pop_back();
    std::string maker = base + "\\KORVEN";
    std::string app = maker + "\\碧環デスクトップアクセサリー";
    owned.insert(FakeFold(maker));
    for (const char* name : kTableFiles)
        owned.insert(FakeFold(*name ? app + "\\" + name : app));
    for (int slot = 0; slot <= 20; slot++) {
        char name[32];
        snprintf(name, sizeof name, "\\DATA\\BRISK%02d.SAV", slot);
        std::string path = app + name;
        if (FakeExists(path) && !FakeIsFolder(path) && FakeRead(path).size() >= 32 &&
            FakeRead(path).compare(0, 11, "BRISK Save ") == 0)
            owned.insert(FakeFold(path));
    }
    for (const char* n : kSavers) {
        for (const char* ext : {".scr", ".dat"})
            owned.insert(FakeFold(Fake.windowsDir + "\\碧環スクリーンセーバー" + n + ext));
    }
    owned.insert(FakeFold(Fake.desktopDir + "\\パズル.LNK"));
    std::string group = Fake.programsDir + "\\碧環デスクトップアクセサリー";
    owned.insert(FakeFold(group));
    for (const char* n : kGroupShortcuts)
        owned.insert(FakeFold(group + "\\" + n + ".LNK"));
    return owned;
}

std::set<std::string> AllPaths()
{
    std::set<std::string> all;
    for (auto& [key, node] : Fake.nodes)
        all.insert(key);
    return all;
}

bool IsWarning(unsigned style) { return style == 0x30; }
