#include "paths/removal.h"

#include "paths/report.h"
#include "paths/text.h"

const char* NoticeCaption = "碧環デスクトップアクセサリー";
const char* FolderWordFolder = "フォルダ";
const char* FolderWordStartMenu = "スタートメニュー";
const char* NotEmptyFormat = "\n%s\n\nにファイルが残っています。\nこの%sの削除は実行しません。";
const char* CannotDeleteFormat = "\n%s%s%s\n\nが削除できませんでした。";

RightsCheckRecord RightsCheck;

static void ShowWarning(SysHandle owner, const char* text)
{
    if (!RightsCheck.active && !Report.quiet)
        Sys->MessageBoxA(owner, text, NoticeCaption, kMessageBoxIconWarning);
}

void ShowNotEmptyNotice(SysHandle owner, const char* path, const char* folderWord)
{
    char text[kNoticeSize];
    FormatText(text, kNoticeSize, NotEmptyFormat, path, folderWord);
    ShowWarning(owner, text);
    if (!RightsCheck.active)
        LogEvent(EventKeptFolder, path, 0);
}

void ShowCannotDeleteNoticeParts(SysHandle owner, const char* folder, const char* name,
                                 const char* extension, uint32_t error)
{
    char text[kNoticeSize];
    FormatText(text, kNoticeSize, CannotDeleteFormat, folder, name, extension);
    ShowWarning(owner, text);
    if (RightsCheck.active)
        return;
    FormatText(text, kNoticeSize, "%s%s%s", folder, name, extension);
    LogKept(text, error);
}

void ShowCannotDeleteNotice(SysHandle owner, const char* path, uint32_t error)
{
    ShowCannotDeleteNoticeParts(owner, path, "", "", error);
}

// Exact-path search; found receives the match when there is one.
static int FindExact(const char* path, SysFindData* found)
{
    SysHandle search = Sys->FindFirstFileA(path, found);
    if (!search)
        return 0;
    Sys->FindClose(search);
    return 1;
}

int PathExists(const char* path)
{
    SysFindData found;
    return FindExact(path, &found);
}

void DeleteIfPresent(SysHandle owner, const char* path)
{
    SysFindData found;
    if (!FindExact(path, &found))
        return;
    if (Sys->DeleteFileA(path))
        LogEvent(EventDeleted, path, 0);
    else
        ShowCannotDeleteNotice(owner, path, Sys->GetLastError());
}

void DeleteIfPresentIn(SysHandle owner, const char* folder, const char* name,
                       const char* extension)
{
    char path[kPathSize];
    if (ComposePath(path, folder, name, extension))
        DeleteIfPresent(owner, path);
    else
        ShowCannotDeleteNoticeParts(owner, folder, name, extension, kErrorFilenameTooLong);
}

static int IsDotName(const char* name)
{
    for (; *name; name++) {
        if (*name != '.')
            return 0;
    }
    return 1;
}

int ListsNothing(SysHandle search, SysFindData* entry,
                 int (*next)(SysHandle search, SysFindData* found))
{
    do {
        if (!(entry->attributes & kFileAttributeDirectory) || !IsDotName(entry->fileName))
            return 0;
    } while (next(search, entry));
    return 1;
}

int IsFolderEmpty(const char* path)
{
    uint32_t attributes = Sys->GetFileAttributesA(path);
    if (attributes == kInvalidFileAttributes || !(attributes & kFileAttributeDirectory))
        return 0;
    char pattern[kPathSize];
    if (!ComposePath(pattern, path, "\\", "*.*"))
        return 0;
    SysFindData entry;
    SysHandle search = Sys->FindFirstFileA(pattern, &entry);
    if (!search)
        return 1;
    int empty = ListsNothing(search, &entry, Sys->FindNextFileA);
    Sys->FindClose(search);
    return empty;
}

int RemoveFolderIfEmpty(SysHandle owner, const char* path, const char* folderWord)
{
    SysFindData found;
    if (!FindExact(path, &found))
        return 1;
    if (!(found.attributes & kFileAttributeDirectory))
        return 0;
    if (!IsFolderEmpty(path)) {
        ShowNotEmptyNotice(owner, path, folderWord);
        return 0;
    }
    if (Sys->RemoveDirectoryA(path)) {
        LogEvent(EventDeleted, path, 0);
        return 1;
    }
    ShowCannotDeleteNotice(owner, path, Sys->GetLastError());
    return 0;
}

int IsLinkEntry(uint32_t attributes, uint32_t reparseTag)
{
    return (attributes & kFileAttributeReparsePoint) &&
           (!reparseTag || (reparseTag & kReparseTagNameSurrogate));
}

// Should the search fail, the folder is taken for a link: it is then left
// alone.
static int IsLink(const char* path)
{
    SysFindData found;
    return !FindExact(path, &found) ||
           IsLinkEntry(found.attributes | kFileAttributeReparsePoint, found.reparseTag);
}

int FindLinkOnWay(const char* stopDir, const char* path, char* link)
{
    char way[kPathSize];
    ComposePath(way, path);  // fits: path is a composed path
    FixTrailingSeparator(way, kStripSeparator);
    int start = TextLength(stopDir);
    // Top down, so that nothing beneath a link is ever looked at.
    for (int i = 0;; i += CharacterWidth(way + i)) {
        char c = way[i];
        if (i > start && (c == '\\' || !c)) {
            way[i] = 0;
            uint32_t attributes = Sys->GetFileAttributesA(way);
            if (attributes != kInvalidFileAttributes &&
                (attributes & kFileAttributeReparsePoint) && IsLink(way))
                return ComposePath(link, way);
            way[i] = c;
        }
        if (!c)
            return 0;
    }
}

int ReportLinkOnWay(SysHandle owner, const char* stopDir, const char* path,
                    const char* folderWord)
{
    char link[kPathSize];
    if (!FindLinkOnWay(stopDir, path, link))
        return 0;
    ShowNotEmptyNotice(owner, link, folderWord);
    return 1;
}

int RemoveFolderChain(SysHandle owner, const char* stopDir, const char* startDir,
                      const char* folderWord)
{
    int stopLength = TextLength(stopDir);
    if (stopLength <= 1)
        return 1;
    char cur[kPathSize];
    ComposePath(cur, startDir);  // fits: startDir is a composed path
    if (ReportLinkOnWay(owner, stopDir, cur, folderWord))
        return 0;
    while (TextLength(cur) > stopLength && Sys->lstrcmpiA(cur, stopDir) != 0) {
        SysFindData found;
        if (FindExact(cur, &found) && (found.attributes & kFileAttributeDirectory)) {
            if (RemoveFolderIfEmpty(owner, cur, folderWord) != 1)
                return 0;
        }
        CutLastComponent(cur);
    }
    return 1;
}
