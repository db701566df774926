// What the package owns: its registry keys, folders, files and shortcuts.
#include "erase/erase.h"

#include "control/eraser.h"
#include "paths/removal.h"
#include "paths/wide_text.h"

const char MakerKey[] = "Software\\KORVEN";
const char PackageKey[] = "Software\\KORVEN\\VELDARIN_DESKTOP";
const char InstallDirValue[] = "InstallDir";
// The package folder below the install folder: maker, then package.
const char MakerFolderName[] = "KORVEN";
const char* PackageFolderName = "碧環デスクトップアクセサリー";

const char* const SubfolderNames[2] = { "DATA", "ACC" };

static const FileEntry Group0[] = {
    { kLocationAppDir, "VELDUNIN.EXE" },
    { 0, 0 },
};
static FileEntry Group1[] = {  // the screen savers' names are read at start
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
const char* DesktopShortcutNames[kDesktopShortcutCount] = { "パズル" };
const char* StartMenuGroupName = "碧環デスクトップアクセサリー";
const char* StartMenuShortcutNames[kStartMenuShortcutCount] = {
    "碧環デスクトップパズル", "ミルカ時計", "トア時計", "アンインストール",
};

const char SaveSlotFormat[] = "%sBRISK%02d.SAV";
const char SaveHeaderTag[kSaveHeaderSize] = { 'B', 'R', 'I', 'S', 'K', ' ', 'S', 'a', 'v', 'e', ' ' };
const char* const DataFileNames[kDataFileCount] = { "VELDPZ.SAV", "VELDPZ.ENV", "VELDPZ.LOG" };

// Every text of the package's that is not ASCII, and whether it names an
// item on disk; ASCII reads the same in every code page.
struct FixedText {
    const char** text;
    int isName;
};
static const FixedText FixedTexts[] = {
    {&NoticeCaption, 0}, {&FolderWordFolder, 0}, {&FolderWordStartMenu, 0},
    {&NotEmptyFormat, 0}, {&CannotDeleteFormat, 0}, {&CompletionText, 0},
    {&RunningQuestionFormat, 0}, {&PackageFolderName, 1}, {&StartMenuGroupName, 1},
    {&DesktopShortcutNames[0], 1}, {&StartMenuShortcutNames[0], 1},
    {&StartMenuShortcutNames[1], 1}, {&StartMenuShortcutNames[2], 1},
    {&StartMenuShortcutNames[3], 1}, {&Group1[4].name, 1}, {&Group1[5].name, 1},
    {&Group1[6].name, 1}, {&Group1[7].name, 1}, {&Group1[8].name, 1}, {&Group1[9].name, 1},
    {&Group1[10].name, 1}, {&Group1[11].name, 1},
};
enum { kFixedTextCount = sizeof FixedTexts / sizeof FixedTexts[0], kFixedTextSpace = 2048 };

// The code page 932 bytes, as the program was built with them.
static const char* Original[kFixedTextCount];
static char FixedTextSpace[kFixedTextSpace];

static void KeepOriginals(void)
{
    if (Original[0])
        return;
    for (int i = 0; i < kFixedTextCount; i++)
        Original[i] = *FixedTexts[i].text;
}

uint32_t MessageCodePage(void)
{
    return Sys->IsValidCodePage(932) ? 932 : Sys->GetACP();
}

static int ReadText(const char* bytes, uint32_t codePage, char* out, int size)
{
    uint16_t wide[256];
    return Sys->ToWide(codePage, bytes, wide, 256) >= 0 && WideToInner(wide, -1, out, size) >= 0;
}

int ReadFixedName(const char* const* name, uint32_t codePage, char* out, int size)
{
    KeepOriginals();
    for (int i = 0; i < kFixedTextCount; i++) {
        if (FixedTexts[i].text == name)
            return ReadText(Original[i], codePage, out, size);
    }
    return 0;
}

int ReadFixedTexts(uint32_t namesCodePage)
{
    KeepOriginals();
    int wide = Sys->UsesWideText(), used = 0;
    uint32_t messages = wide ? MessageCodePage() : 0;
    if (!namesCodePage)
        namesCodePage = messages;
    for (int i = 0; i < kFixedTextCount; i++) {
        *FixedTexts[i].text = Original[i];
        if (!wide)
            continue;
        char* out = FixedTextSpace + used;
        if (!ReadText(Original[i], FixedTexts[i].isName ? namesCodePage : messages, out,
                      kFixedTextSpace - used)) {
            for (int k = 0; k < kFixedTextCount; k++)  // no half read one way
                *FixedTexts[k].text = Original[k];
            return 0;
        }
        *FixedTexts[i].text = out;
        used += TextLength(out) + 1;
    }
    return 1;
}
