// The files of the installed file table.
#include "erase/erase.h"
#include "paths/removal.h"
#include "paths/walk.h"

int ComposeTableFolder(char* out, const FileEntry* entry, const InstallPathsRecord* paths,
                       const char* win)
{
    if (entry->location == kLocationWindows)
        return ComposePath(out, win);
    if (entry->location == kLocationData || entry->location == kLocationAcc)
        return ComposePath(out, paths->appDir, "\\", SubfolderNames[(int)entry->location], "\\");
    return ComposePath(out, paths->appDir, "\\");
}

int TableFolderToErase(char* out, const FileEntry* entry, const InstallPathsRecord* paths,
                       const char* win)
{
    char link[kPathSize];
    if (!ComposeTableFolder(out, entry, paths, win))  // fits: checked with the paths
        return 0;
    // Beneath a link lie another folder's files; the folder phase names
    // the link.
    return entry->location == kLocationWindows || !FindLinkOnWay(paths->baseDir, out, link);
}

void GetTableWindowsFolder(char* win)
{
    if (Sys->GetWindowsDirectoryA(win, kPathSize - 1))
        FixTrailingSeparator(win, kAddSeparator);
    else
        win[0] = 0;  // the screen savers are then looked up in the current folder
}

void RemoveInstalledFilesIn(SysHandle owner, const PackageTree* tree)
{
    // Last group first, so the uninstaller itself (group 0) goes last.
    for (int g = kFileGroupCount - 1; g >= 0; g--) {
        for (const FileEntry* e = InstalledFileTable[g].entries; e->name; e++)
            DeleteFileIn(owner, TableFolderIn(tree, e), e->name, 0);
    }
}
