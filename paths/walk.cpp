#include "paths/walk.h"

#include "paths/removal.h"
#include "paths/report.h"

enum { kSameItem, kOtherItem, kItemUnknown };

static int IsAbsent(uint32_t error)
{
    return error == kErrorFileNotFound || error == kErrorPathNotFound;
}

// Where a system refuses to go through a link at all.
static int IsLinkRefusal(uint32_t error)
{
    return error == kErrorStoppedOnSymlink || error == kErrorReparsePointEncountered;
}

static int IsHeld(const HeldFolder* folder) { return folder->state == kHeldOpen && folder->handle; }

// One lookup of name in the held folder: its entry as the folder lists it.
// A link shows there even where an open would follow it (Wine).
static int LookUp(const HeldFolder* folder, const char* name, SysFindData* entry)
{
    SysHandle search = Sys->FindFirstAt(folder->handle, name, entry);
    if (!search)
        return 0;
    Sys->CloseItem(search);
    return 1;
}

// Whether the open item is the one whose entry was looked up, and no link:
// the name may have been given to another item in between. (The open
// itself asked for a folder or a file.)
static int CheckItem(SysHandle item, uint64_t fileId, uint32_t* error)
{
    SysItemInfo info;
    *error = Sys->QueryItem(item, &info);
    if (*error)
        return kItemUnknown;
    if (IsLinkEntry(info.attributes, info.reparseTag) || (fileId && info.fileId != fileId))
        return kOtherItem;
    return kSameItem;
}

static void NoteRefusal(uint32_t error)
{
    if (error == kErrorAccessDenied)
        RightsCheck.refused = 1;
}

void HoldRootFolder(HeldFolder* folder, const char* path)
{
    folder->handle = 0;
    folder->fileId = 0;
    folder->error = 0;
    folder->parent = 0;
    folder->name = "";
    ComposePath(folder->path, path);  // fits: a composed path
    // The folder itself, not "C:", which names the current folder of the
    // drive; the drive's root keeps its separator.
    char open[kPathSize];
    ComposePath(open, path[0] ? path : ".");
    FixTrailingSeparator(open, kStripSeparator);
    if (open[0] && open[1] == ':' && !open[2])
        FixTrailingSeparator(open, kAddSeparator);
    folder->state = Sys->OpenFolder(open, &folder->handle) ? kHeldAbsent : kHeldOpen;
}

void HoldFolderIn(HeldFolder* folder, const HeldFolder* parent, const char* name)
{
    folder->handle = 0;
    folder->fileId = 0;
    folder->error = 0;
    folder->parent = parent;
    folder->name = name;
    ComposePath(folder->path, parent->path, name, "\\");  // fits: checked with the paths
    // Beneath a folder not entered nothing is looked for; a link or a
    // refusal above is named when the folder removal gets there.
    folder->state = kHeldAbsent;
    if (!IsHeld(parent))
        return;
    SysFindData entry;
    if (!LookUp(parent, name, &entry))
        return;
    if (!(entry.attributes & kFileAttributeDirectory)) {
        folder->state = kHeldFile;
        return;
    }
    if (IsLinkEntry(entry.attributes, entry.reparseTag)) {
        folder->state = kHeldLink;
        return;
    }
    SysHandle item = 0;
    uint32_t error = Sys->OpenItemAt(parent->handle, name, kItemFolder, &item);
    if (error) {
        folder->state = IsAbsent(error) ? kHeldAbsent : IsLinkRefusal(error) ? kHeldLink : kHeldRefused;
        folder->error = error;
        return;
    }
    int check = CheckItem(item, entry.fileId, &folder->error);
    if (check != kSameItem) {
        Sys->CloseItem(item);
        folder->state = check == kOtherItem ? kHeldLink : kHeldRefused;
        return;
    }
    folder->handle = item;
    folder->fileId = entry.fileId;
    folder->state = kHeldOpen;
}

void ReleaseFolder(HeldFolder* folder)
{
    if (folder->handle)
        Sys->CloseItem(folder->handle);
    folder->handle = 0;
}

void DeleteFileIn(SysHandle owner, const HeldFolder* folder, const char* name,
                  int (*accept)(SysHandle item))
{
    if (!IsHeld(folder))
        return;  // the folder phase names whatever kept the walk out
    char path[kPathSize];
    if (!ComposePath(path, folder->path, name)) {
        ShowCannotDeleteNoticeParts(owner, folder->path, name, "", kErrorFilenameTooLong);
        return;
    }
    SysFindData entry;
    if (!LookUp(folder, name, &entry) || IsLinkEntry(entry.attributes, entry.reparseTag))
        return;  // a link in a file's place is another's file
    if (entry.attributes & kFileAttributeDirectory) {
        ShowCannotDeleteNotice(owner, path, kErrorAccessDenied);
        return;
    }
    SysHandle item = 0;
    uint32_t how = kItemDelete | (accept ? kItemRead : 0) | (RightsCheck.active ? kItemProbe : 0);
    uint32_t error = Sys->OpenItemAt(folder->handle, name, how, &item);
    if (RightsCheck.active) {
        NoteRefusal(error);
        if (!error)
            Sys->CloseItem(item);
        return;
    }
    if (error) {
        // A file that cannot be read cannot be told for a save file.
        if (!IsAbsent(error) && !IsLinkRefusal(error) && !accept)
            ShowCannotDeleteNotice(owner, path, error);
        return;
    }
    int check = CheckItem(item, entry.fileId, &error);
    int deleting = check == kSameItem && (!accept || accept(item));
    // A quiet run started as the installed uninstaller itself keeps its own
    // file: it is in use, and no restart request is placed for it.
    if (deleting && Report.quiet && Sys->IsOwnFile(item)) {
        Report.selfInPackage = 1;
        deleting = 0;
        error = kErrorSharingViolation;
    }
    if (deleting)
        error = Sys->DeleteItem(item);
    Sys->CloseItem(item);
    if (error && !IsAbsent(error))
        ShowCannotDeleteNotice(owner, path, error);
    else if (deleting)
        LogEvent(EventDeleted, path, 0);
}

// A folder's full path without its final separator, as notices name it.
static const char* FolderPath(const HeldFolder* folder, char* path)
{
    ComposePath(path, folder->path);  // fits: a composed path
    return FixTrailingSeparator(path, kStripSeparator);
}

// The not-empty notice without an error, the cannot-delete notice with it.
static void ShowFolderNotice(SysHandle owner, const HeldFolder* folder, uint32_t error,
                             const char* folderWord)
{
    char path[kPathSize];
    FolderPath(folder, path);
    if (!error)
        ShowNotEmptyNotice(owner, path, folderWord);
    else
        ShowCannotDeleteNotice(owner, path, error);
}

static int IsHeldFolderEmpty(const HeldFolder* folder)
{
    SysFindData entry;
    SysHandle search = Sys->FindFirstAt(folder->handle, "*", &entry);
    if (!search)
        return 1;  // should it hold something after all, the delete says so
    int empty = ListsNothing(search, &entry, Sys->FindNextAt);
    Sys->CloseItem(search);
    return empty;
}

int RemoveHeldFolder(SysHandle owner, HeldFolder* folder, const char* folderWord)
{
    // The outermost folder the walk could not enter names what stays.
    const HeldFolder* obstacle = 0;
    for (const HeldFolder* f = folder; f; f = f->parent) {
        if (f->state == kHeldLink || f->state == kHeldRefused)
            obstacle = f;
    }
    if (obstacle) {
        ShowFolderNotice(owner, obstacle, obstacle->state == kHeldLink ? 0 : obstacle->error,
                         folderWord);
        return 0;
    }
    if (!IsHeld(folder))
        return folder->state != kHeldFile;
    if (!RightsCheck.active && !IsHeldFolderEmpty(folder)) {
        ShowFolderNotice(owner, folder, 0, folderWord);
        return 0;
    }
    // The hold shares no deletion: it goes, and the folder is opened anew
    // by its name in its parent, which is still held.
    ReleaseFolder(folder);
    SysHandle item = 0;
    uint32_t how = kItemFolder | kItemDelete | (RightsCheck.active ? kItemProbe : 0);
    uint32_t error = Sys->OpenItemAt(folder->parent->handle, folder->name, how, &item);
    if (RightsCheck.active) {
        NoteRefusal(error);
        if (!error)
            Sys->CloseItem(item);
        return 1;  // the walk goes on up
    }
    if (error) {
        if (IsAbsent(error))
            return 1;
        ShowFolderNotice(owner, folder, IsLinkRefusal(error) ? 0 : error, folderWord);
        return 0;
    }
    int check = CheckItem(item, folder->fileId, &error);
    if (check == kSameItem)
        error = Sys->DeleteItem(item);
    Sys->CloseItem(item);
    if (check == kSameItem && (!error || IsAbsent(error))) {
        char path[kPathSize];
        LogEvent(EventDeleted, FolderPath(folder, path), 0);
        return 1;
    }
    ShowFolderNotice(owner, folder, check == kOtherItem || error == kErrorDirNotEmpty ? 0 : error,
                     folderWord);
    return 0;
}
