#include "paths/walk.h"

#include "paths/removal.h"
#include "paths/report.h"

enum { kSameItem, kOtherItem, kItemUnknown };
// What the lookup of a name in its held folder tells.
enum { kEntryAbsent, kEntryFound, kEntryUnlisted };

int IsAbsent(uint32_t error)
{
    return error == kErrorFileNotFound || error == kErrorPathNotFound ||
           error == kErrorInvalidName || error == kErrorBadPathname;
}

// Where a system refuses to go through a link at all.
static int IsLinkRefusal(uint32_t error)
{
    return error == kErrorStoppedOnSymlink || error == kErrorReparsePointEncountered;
}

static int IsHeld(const HeldFolder* folder) { return folder->state == kHeldOpen && folder->handle; }

// One lookup of name in the held folder: its entry as the folder lists it.
// A link shows there even where an open would follow it (Wine). A folder
// that may be passed through but not listed tells nothing of its items:
// each is then judged by its own handle alone, under the name looked for.
static int LookUp(const HeldFolder* folder, const char* name, SysFindData* entry)
{
    uint32_t error = 0;
    SysHandle search = Sys->FindFirstAt(folder->handle, name, entry, &error);
    if (search) {
        Sys->CloseItem(search);
        return kEntryFound;
    }
    if (IsAbsent(error))
        return kEntryAbsent;
    entry->attributes = entry->reparseTag = 0;
    entry->fileId = 0;
    ComposeText(entry->fileName, sizeof entry->fileName, name, (const char*)0);
    return kEntryUnlisted;
}

// Whether the open item is the one whose entry was looked up, and no link:
// the name may have been given to another item in between. (The open
// itself asked for a folder or a file.) fileId receives the item's own.
static int CheckItem(SysHandle item, uint64_t* fileId, uint32_t* error)
{
    SysItemInfo info;
    *error = Sys->QueryItem(item, &info);
    if (*error)
        return kItemUnknown;
    if (IsLinkEntry(info.attributes, info.reparseTag) || (*fileId && info.fileId != *fileId))
        return kOtherItem;
    *fileId = info.fileId;
    return kSameItem;
}

static void NoteRefusal(uint32_t error)
{
    if (RightsCheck.active && error == kErrorAccessDenied)
        RightsCheck.refused = 1;
}

// What an open of a folder that failed leaves of it.
static int RefusedState(uint32_t error)
{
    return IsAbsent(error) ? kHeldAbsent
           : error == kErrorDirectory ? kHeldFile
           : IsLinkRefusal(error) ? kHeldLink
                                  : kHeldRefused;
}

static void StartFolder(HeldFolder* folder, const HeldFolder* parent, const char* name)
{
    folder->handle = 0;
    folder->borrowed = 0;
    folder->fileId = 0;
    folder->error = 0;
    folder->parent = parent;
    folder->name = name;
    folder->namedAs = 0;
    folder->state = kHeldAbsent;
}

void HoldRootFolder(HeldFolder* folder, const char* path)
{
    StartFolder(folder, 0, "");
    ComposePath(folder->path, path);  // fits: a composed path
    // The folder itself, not "C:", which names the current folder of the
    // drive; the drive's root keeps its separator.
    char open[kPathSize];
    ComposePath(open, path[0] ? path : ".");
    FixTrailingSeparator(open, kStripSeparator);
    if (open[0] && open[1] == ':' && !open[2])
        FixTrailingSeparator(open, kAddSeparator);
    folder->error = Sys->OpenFolder(open, &folder->handle);
    folder->state = folder->error ? RefusedState(folder->error) : kHeldOpen;
}

void BorrowRootFolder(HeldFolder* folder, const HeldFolder* root)
{
    *folder = *root;
    folder->borrowed = 1;
}

void HoldFolderIn(HeldFolder* folder, const HeldFolder* parent, const char* name)
{
    StartFolder(folder, parent, name);
    ComposePath(folder->path, parent->path, name, "\\");  // fits: checked with the paths
    // Beneath a folder not entered nothing is looked for; a link or a
    // refusal above is named when the folder removal gets there.
    if (!IsHeld(parent))
        return;
    SysFindData entry;
    int found = LookUp(parent, name, &entry);
    if (found == kEntryAbsent)
        return;
    if (found == kEntryFound && !(entry.attributes & kFileAttributeDirectory)) {
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
        NoteRefusal(error);
        folder->state = RefusedState(error);
        folder->error = error;
        return;
    }
    uint64_t fileId = entry.fileId;
    int check = CheckItem(item, &fileId, &folder->error);
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
    if (folder->handle && !folder->borrowed)
        Sys->CloseItem(folder->handle);
    folder->handle = 0;
}

// The full path of name in folder, for the notices and the log. One too
// long to compose is reported by its parts, and nothing is done to it.
static int ItemPath(SysHandle owner, const HeldFolder* folder, const char* name, char* path)
{
    if (ComposePath(path, folder->path, name))
        return 1;
    ShowCannotDeleteNoticeParts(owner, folder->path, name, "", kErrorFilenameTooLong);
    return 0;
}

void DeleteFileIn(SysHandle owner, const HeldFolder* folder, const char* name,
                  int (*accept)(SysHandle item))
{
    char path[kPathSize];
    SysFindData entry;
    if (!IsHeld(folder) || !ItemPath(owner, folder, name, path) || !LookUp(folder, name, &entry) ||
        IsLinkEntry(entry.attributes, entry.reparseTag))
        return;  // a link in a file's place is another's file
    if (entry.attributes & kFileAttributeDirectory) {
        // A folder in a file's place stays with its notice; in a slot's
        // place it is no save file.
        if (!accept)
            ShowCannotDeleteNotice(owner, path, kErrorAccessDenied);
        return;
    }
    uint64_t fileId = entry.fileId;
    uint32_t error = 0;
    SysHandle item = 0;
    if (accept) {
        // Read first, through a handle that keeps no other program out;
        // only what accept takes is opened again, for deletion, and named
        // as the folder lists it. What cannot be read stays silently.
        name = entry.fileName;
        if (!ItemPath(owner, folder, name, path) || Sys->OpenItemAt(folder->handle, name, kItemRead, &item))
            return;
        int ours = CheckItem(item, &fileId, &error) == kSameItem && accept(item);
        Sys->CloseItem(item);
        if (!ours)
            return;
    }
    error = Sys->OpenItemAt(folder->handle, name, kItemDelete | (RightsCheck.active ? kItemProbe : 0), &item);
    if (RightsCheck.active) {
        NoteRefusal(error);
        if (!error)
            Sys->CloseItem(item);
        return;
    }
    if (error) {
        if (!IsAbsent(error) && !IsLinkRefusal(error))
            ShowCannotDeleteNotice(owner, path, error);
        return;
    }
    int deleting = CheckItem(item, &fileId, &error) == kSameItem;
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
    uint32_t error = 0;
    SysHandle search = Sys->FindFirstAt(folder->handle, "*", &entry, &error);
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
        if (obstacle->state == kHeldLink) {
            ShowFolderNotice(owner, obstacle, 0, folderWord);
        } else {
            const HeldFolder* named = obstacle->namedAs ? obstacle->namedAs : obstacle;
            ShowFolderNotice(owner, named, obstacle->error, folderWord);
        }
        return 0;
    }
    if (!IsHeld(folder) || !folder->parent)
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
    uint64_t fileId = folder->fileId;
    int check = CheckItem(item, &fileId, &error);
    if (check == kSameItem)
        error = Sys->DeleteItem(item);
    Sys->CloseItem(item);
    if (check == kSameItem && (!error || IsAbsent(error))) {
        char path[kPathSize];
        LogEvent(EventDeleted, FolderPath(folder, path), 0);
        return 1;
    }
    // Once the listing found it empty, a removal that fails is the
    // cannot-delete notice, whatever the system says; only a link (or
    // another folder) in its place holds something.
    ShowFolderNotice(owner, folder, check == kOtherItem ? 0 : error, folderWord);
    return 0;
}
