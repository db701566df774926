// The package's files in the user's VirtualStore.
//
// From Vista on, an old 32-bit program without a manifest that writes into
// a protected folder (Program Files, the Windows folder) has its file put
// into %LOCALAPPDATA%\VirtualStore\<the same path without its drive>. The
// puzzle, the clocks and the screen savers are such programs, so their
// save slots, data files and rewritten files may live there. This program
// has a manifest and is never redirected: it erases that mirror itself, by
// the install folder's rules.
#include "erase/erase.h"
#include "paths/removal.h"

VirtualStoreRecord VirtualStore;

static const char VirtualStoreName[] = "VirtualStore";

// The drive letter, folded to lower case, of a path from the root of a
// drive ("X:\\..." or "X:" alone); 0 for any other path.
static int DriveOf(const char* path)
{
    if (!path[0] || path[1] != ':' || (path[2] && path[2] != '\\'))
        return 0;
    return path[0] | 0x20;
}

// The mirror of a path on the Windows folder's drive: the store folder in
// place of the drive.
static int Mirror(char* out, const char* store, const char* path)
{
    return ComposePath(out, store, path + 2);
}

void LoadVirtualStore(const char* win)
{
    VirtualStore.present = 0;
    const InstallPathsRecord* from = &InstallPaths;
    InstallPathsRecord* to = &VirtualStore.paths;
    int drive = DriveOf(win);
    if (!drive || drive != DriveOf(from->baseDir))
        return;
    char local[kPathSize], store[kPathSize];
    if (!Sys->GetSpecialFolderPath(kCsidlLocalAppData, local))
        return;  // a shell that does not know the folder: 95 and 98 as shipped
    FixTrailingSeparator(local, kAddSeparator);
    if (!ComposePath(store, local, VirtualStoreName))
        return;
    // Without the folder every lookup beneath it would find nothing.
    uint32_t attributes = Sys->GetFileAttributesA(store);
    if (attributes == kInvalidFileAttributes || !(attributes & kFileAttributeDirectory))
        return;
    // A mirror too deep for the buffers is no mirror: nothing is ever done
    // to a shortened path.
    if (!Mirror(to->baseDir, store, from->baseDir) || !Mirror(to->appDir, store, from->appDir) ||
        !Mirror(to->dataDir, store, from->dataDir) || !PackagePathsFit(to) ||
        !Mirror(VirtualStore.windowsDir, store, win))
        return;
    FixTrailingSeparator(VirtualStore.windowsDir, kAddSeparator);
    VirtualStore.present = 1;
}

// The mirror belongs to the user: its files and folders go in the user's
// own process, after the install folder's.
void RemoveVirtualStore(SysHandle owner)
{
    if (!VirtualStore.present)
        return;
    RemovePackageItems(owner, &VirtualStore.paths, VirtualStore.windowsDir);
}
