// What the package owns: its registry keys, folders, files and shortcuts.
#include "erase/erase.h"

const char MakerKey[] = "Software\\KORVEN";
const char PackageKey[] = "Software\\KORVEN\\VELDARIN_DESKTOP";
const char InstallDirValue[] = "InstallDir";
// The package folder below the install folder: maker, then package.
const char MakerFolderName[] = "KORVEN";
const char PackageFolderName[] = "碧環デスクトップアクセサリー";

const char* const SubfolderNames[2] = { "DATA", "ACC" };

static const FileEntry Group0[] = {
    { kLocationAppDir, "VELDUNIN.EXE" },
    { 0, 0 },
};
static const FileEntry Group1[] = {
    { kLocationAppDir, "VELDPZ.EXE" },
    { kLocationData, "VELD00.QXP" },
    { kLocationAcc, "Clock1.exe" },
    { kLocationAcc, "Clock2.exe" },
    { kLocationWindows, "碧環スクリーンセーバー１.scr" },
    { kLocationWindows, "碧環スクリーンセーバー１.dat" },
    { kLocationWindows, "碧環スクリーンセーバー２.scr" },
    { kLocationWindows, "碧環スクリーンセーバー２.dat" },
    { kLocationWindows, "碧環スクリーンセーバー３.scr" },
    { kLocationWindows, "碧環スクリーンセーバー３.dat" },
    { kLocationWindows, "碧環スクリーンセーバー４.scr" },
    { kLocationWindows, "碧環スクリーンセーバー４.dat" },
    { 0, 0 },
};
static const FileEntry Group2[] = { { kLocationData, "VELD01.QXP" }, { 0, 0 } };
static const FileEntry Group3[] = { { kLocationData, "VELD02.QXP" }, { 0, 0 } };
static const FileEntry Group4[] = { { kLocationData, "VELD03.QXP" }, { 0, 0 } };
static const FileEntry Group5[] = { { kLocationData, "VELD04.QXP" }, { 0, 0 } };

const FileGroup InstalledFileTable[kFileGroupCount] = {
    { Group0 }, { Group1 }, { Group2 }, { Group3 }, { Group4 }, { Group5 },
};

const char ShortcutExtension[] = ".LNK";
const char* const DesktopShortcutNames[kDesktopShortcutCount] = { "パズル" };
const char StartMenuGroupName[] = "碧環デスクトップアクセサリー";
const char* const StartMenuShortcutNames[kStartMenuShortcutCount] = {
    "碧環デスクトップパズル", "ミルカ時計", "トア時計", "アンインストール",
};

const char SaveSlotFormat[] = "%sBRISK%02d.SAV";
const char SaveHeaderTag[kSaveHeaderSize] = { 'B', 'R', 'I', 'S', 'K', ' ', 'S', 'a', 'v', 'e', ' ' };
const char* const DataFileNames[kDataFileCount] = { "VELDPZ.SAV", "VELDPZ.ENV", "VELDPZ.LOG" };
