#include "tests/unit/fixture.h"

std::string SaveFile(size_t size)
{
    std::string data = "BRISK Save ";
    data.resize(size, 'x');
    return data;
}

void InstallPackage(const std::string& installDir)
{
    FakeSetString(kPackageKey, "InstallDir", installDir);
    Fake.desktopDir = kDesktop;
    Fake.programsDir = kPrograms;
    FakeAddFile(kDesktop + "\\パズル.LNK");
    for (const char* name : {"碧環デスクトップパズル", "ミルカ時計", "トア時計", "アンインストール"})
        FakeAddFile(kGroup + "\\" + name + ".LNK");
    const std::string win = Fake.windowsDir;
    std::string app = installDir;
    if (app.back() == '\\')
        app.pop_back();
    app += "\\KORVEN\\碧環デスクトップアクセサリー";
    for (const FileGroup& group : InstalledFileTable) {
        for (const FileEntry* e = group.entries; e->name; e++) {
            std::string folder = e->location == kLocationWindows ? win
                                 : e->location == kLocationAppDir
                                     ? app
                                     : app + "\\" + SubfolderNames[(int)e->location];
            FakeAddFile(folder + "\\" + e->name, "installed");
        }
    }
    FakeAddFile(app + "\\DATA\\BRISK00.SAV", SaveFile());
    FakeAddFile(app + "\\DATA\\BRISK07.SAV", SaveFile(200));
    for (const char* name : {"VELDPZ.SAV", "VELDPZ.ENV", "VELDPZ.LOG"})
        FakeAddFile(app + "\\DATA\\" + name, "data");
}

std::string NotEmptyText(const std::string& path, const std::string& word)
{
    return "\n" + path + "\n\nにファイルが残っています。\nこの" + word + "の削除は実行しません。";
}

std::string CannotDeleteText(const std::string& path)
{
    return "\n" + path + "\n\nが削除できませんでした。";
}

std::string StillRunningText(const std::string& path)
{
    return "\n" + path + "\n\nが実行中です。\nこのプログラムを終了してから削除を続けますか？\n"
                        "（［いいえ］を選ぶと、このファイルは削除されずに残ります。）";
}

std::string BoxTexts()
{
    std::string all;
    for (const FakeBox& box : Fake.boxes)
        all += box.text + "\n----\n";
    return all;
}
