// Walking the package tree through handles.
//
// A path is parsed anew at every use: a folder on it that another program
// renames, or swaps for a link, between a check and a delete would lead
// the delete elsewhere. So the tree is walked one name at a time. Each
// folder is opened by its name in its parent's handle, as itself, checked
// and held open until its removal, so that no other program can rename
// it; every file is opened by its name in its held folder, checked, and
// deleted through that same handle. Nothing above a held folder is ever
// parsed again, whatever its name leads to meanwhile. Paths are composed
// only for the notices, which name items exactly as before.
#ifndef ERASER_WALK_H
#define ERASER_WALK_H

#include "paths/text.h"
#include "sysops/sysops.h"

enum HeldState {
    kHeldOpen,     // held: the walk goes on inside it
    kHeldAbsent,   // nothing of that name, or beneath a folder not entered
    kHeldFile,     // a file where the folder should be
    kHeldLink,     // a link, or no longer the folder looked up: never entered
    kHeldRefused,  // it is there but could not be opened: not entered, and it stays
};

struct HeldFolder {
    SysHandle handle;  // 0 once given up
    int borrowed;      // the handle is a root's, held for the whole run
    int state;
    uint32_t error;            // why it could not be entered, when refused
    uint64_t fileId;           // of its entry in the parent
    const HeldFolder* parent;  // 0 for the root of a walk
    const char* name;          // in the parent
    // Whose path a notice of its refusal names: the install folder and the
    // maker folder are reported as the package folder they keep out.
    const HeldFolder* namedAs;
    char path[kPathSize];      // ends in a separator; empty: the current folder
};

// The system's "not found", and names that can never exist: nothing there.
int IsAbsent(uint32_t error);
// Opens the root of a walk by path (ending in a separator, or empty for
// the current folder), following links: it is the user's or the
// system's. A root that cannot be opened holds nothing.
void HoldRootFolder(HeldFolder* folder, const char* path);
// The same root for another walk: the handle stays the lender's.
void BorrowRootFolder(HeldFolder* folder, const HeldFolder* root);
// Opens name in parent without following a link, once its entry in the
// parent and its own handle say it is the folder looked up.
void HoldFolderIn(HeldFolder* folder, const HeldFolder* parent, const char* name);
void ReleaseFolder(HeldFolder* folder);
// Deletes the file name in folder, or reports it. Absent is silent, and
// so is a file that turns out to be a link or another file than the one
// looked up. With accept, the file is first read through a handle that
// asks for nothing more, and goes only when accept (given that item) says
// it is the package's, a save slot: one that cannot be read, or that
// accept turns down, stays silently, and its notice names it as the
// folder lists it.
void DeleteFileIn(SysHandle owner, const HeldFolder* folder, const char* name,
                  int (*accept)(SysHandle item));
// Removes the folder once it is empty: 1 when nothing is left of it, 0
// when it stays. A link or a folder that could not be entered on the way
// from the root stays with its notice. A root is never removed.
int RemoveHeldFolder(SysHandle owner, HeldFolder* folder, const char* folderWord);

#endif
