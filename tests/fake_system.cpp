#include "tests/fake_system.h"

#include "control/eraser.h"
#include "erase/erase.h"
#include "paths/removal.h"
#include "paths/report.h"

#include <iconv.h>
#include <string.h>

#include <algorithm>

FakeState Fake;

const char* const FakeOpNames[kOpCount] = {
    "FindFirstFile", "FindNextFile", "FindClose", "GetFileAttributes", "DeleteFile",
    "RemoveDirectory", "MoveFile", "MoveFileEx", "WritePrivateProfileString",
    "GetWindowsDirectory", "GetModuleFileName", "GetShortPathName", "SetCurrentDirectory",
    "GetSpecialFolderPath", "RegOpenKeyEx", "RegQueryValueEx", "RegQueryInfoKey",
    "RegDeleteKey", "RegCloseKey", "GetVersionEx", "GetACP", "GetCPInfo",
    "GetTokenElevation", "OpenFolder", "OpenItemAt", "FindFirstAt", "FindNextAt", "QueryItem",
    "ReadItem", "DeleteItem", "CloseItem", "ShellExecuteEx", "SetProcessMitigationPolicy",
    "GetExitCodeProcess", "EnumWindows", "GetProcessImagePath", "PostMessage", "OpenProcess",
    "GetCurrentProcessId", "GetTickCount",
    "WaitForSingleObject", "CloseHandle", "MessageBox", "lstrcmpi", "CreateFile",
    "ReadFile", "WriteFile", "SetFilePointer", "GetLastError", "SetErrorMode", "GetLocalTime",
    "GetUserName", "GetTempPath", "OpenLog", "IsOwnFile",
};

static bool Fails(FakeOp op)
{
    Fake.seq++;
    if (Fake.interfere && Fake.seq == Fake.interfereAt) {
        std::function<void()> interfere = Fake.interfere;
        Fake.interfere = nullptr;
        interfere();
    }
    Fake.calls[op]++;
    Fake.trace.push_back(op);
    int nth = Fake.calls[op];
    bool inRun = Fake.failNth == 0 || (nth >= Fake.failNth && nth < Fake.failNth + Fake.failCount);
    bool fail = (Fake.failSeq && Fake.seq == Fake.failSeq) || (Fake.failOp == op && inRun);
    if (fail) {
        Fake.injected++;
        Fake.injectedOp = op;
    }
    return fail;
}

static bool Lead(unsigned char c)
{
    return !Fake.wideText && Fake.codePage == 932 && ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC));
}

std::string FakeFold(const std::string& path)
{
    std::string out;
    for (size_t i = 0; i < path.size(); i++) {
        unsigned char c = (unsigned char)path[i];
        if (Lead(c) && i + 1 < path.size()) {
            out += path[i];
            out += path[++i];
        } else {
            out += (char)(c >= 'a' && c <= 'z' ? c - 32 : c);
        }
    }
    return out;
}

// Positions of the real separators (not second halves of characters).
static std::vector<size_t> Separators(const std::string& path)
{
    std::vector<size_t> at;
    for (size_t i = 0; i < path.size(); i++) {
        if (Lead((unsigned char)path[i]) && i + 1 < path.size())
            i++;
        else if (path[i] == '\\')
            at.push_back(i);
    }
    return at;
}

// Absolute path without a trailing separator; drive roots are "C:". A
// path from "\\" names a share on a server; from one separator, the
// current drive's root.
static std::string Absolute(const std::string& path)
{
    std::string p = path;
    if (p.size() >= 2 && p[0] == '\\' && p[1] != '\\')
        p = Fake.currentDir.substr(0, 2) + p;
    else if (!(p.size() >= 2 && (p[1] == ':' || (p[0] == '\\' && p[1] == '\\'))))
        p = Fake.currentDir + (Fake.currentDir.back() == '\\' ? "" : "\\") + p;
    while (p.size() > 2) {
        std::vector<size_t> seps = Separators(p);
        if (seps.empty() || seps.back() != p.size() - 1)
            break;
        p.pop_back();
    }
    return p;
}

// A path through a link leads to its target: every component but the
// last is followed, as the system parses a path; the last is the item
// itself, unless followLast.
static std::string Resolve(std::string p, bool followLast = false)
{
    for (int hops = 0; hops < 32 && Fake.linkTargets; hops++) {
        std::vector<size_t> seps = Separators(p);
        seps.push_back(p.size());
        bool redirected = false;
        for (size_t end : seps) {
            if (end == p.size() && !followLast)
                break;
            auto it = Fake.nodes.find(FakeFold(p.substr(0, end)));
            if (it != Fake.nodes.end() && !it->second.linkTarget.empty()) {
                p = it->second.linkTarget + p.substr(end);
                redirected = true;
                break;
            }
        }
        if (!redirected)
            break;
    }
    return p;
}

static std::string Key(const std::string& path) { return FakeFold(Resolve(Absolute(path))); }

static std::string Parent(const std::string& absolute)
{
    std::vector<size_t> seps = Separators(absolute);
    return seps.empty() ? "" : absolute.substr(0, seps.back());
}

static std::string LastName(const std::string& absolute)
{
    std::vector<size_t> seps = Separators(absolute);
    return seps.empty() ? absolute : absolute.substr(seps.back() + 1);
}

static FakeNode* Node(const std::string& path)
{
    auto it = Fake.nodes.find(Key(path));
    return it == Fake.nodes.end() ? nullptr : &it->second;
}

// 1 when the token may not change the item at path: it lies below a
// protected folder and the token is not elevated.
static bool RefusedKey(const std::string& item)
{
    if (Fake.token != kFakeTokenLimited && Fake.token != kFakeTokenStandard)
        return false;
    for (const std::string& dir : Fake.protectedDirs) {
        std::string folded = FakeFold(dir) + "\\";
        if (item.compare(0, folded.size(), folded) == 0)
            return true;
    }
    return false;
}

static bool Refused(const std::string& path) { return RefusedKey(Key(path)); }

static bool HasChildren(const std::string& folded)
{
    auto it = Fake.nodes.upper_bound(folded + "\\");
    return it != Fake.nodes.end() && it->first.compare(0, folded.size() + 1, folded + "\\") == 0;
}

void FakeReset()
{
    Fake = FakeState();
    VirtualStore.present = 0;
    WalkRoots = WalkRootsRecord();
    RightsCheck = RightsCheckRecord();
    Report = ReportRecord();
    ReadFixedTexts(0);  // the package's names as the tests write them
    FakeAddFolder("C:");
    FakeAddFolder(Fake.windowsDir + "\\TEMP");
    FakeAddFile(Fake.modulePath, "MZ");
}

void FakeAddFolder(const std::string& path)
{
    std::string abs = Absolute(path);
    if (abs.empty() || Fake.nodes.count(FakeFold(abs)))
        return;
    std::string parent = Parent(abs);
    if (!parent.empty())
        FakeAddFolder(parent);
    FakeNode node;
    node.path = abs;
    node.isFolder = true;
    node.id = Fake.nextId++;
    Fake.nodes[FakeFold(abs)] = node;
}

void FakeAddFile(const std::string& path, const std::string& data)
{
    std::string abs = Absolute(path);
    FakeAddFolder(Parent(abs));
    FakeNode node;
    node.path = abs;
    node.data = data;
    node.id = Fake.nextId++;
    Fake.nodes[FakeFold(abs)] = node;
}

bool FakeExists(const std::string& path) { return Node(path) != nullptr; }
bool FakeIsFolder(const std::string& path) { return Node(path) && Node(path)->isFolder; }
std::string FakeRead(const std::string& path) { return Node(path) ? Node(path)->data : ""; }
void FakeLock(const std::string& path) { Node(path)->locked = true; }

void FakeHoldOpen(const std::string& path, int access, int share)
{
    Node(path)->otherAccess = access;
    Node(path)->otherShare = share;
}

// Whether an open of ours asking for access, sharing share, meets another
// program's open of the node.
static bool SharingConflict(const FakeNode& node, int access, int share)
{
    return (access & ~node.otherShare) || (node.otherAccess & ~share);
}

std::vector<std::string> FakeList(const std::string& under)
{
    std::string prefix = under.empty() ? "" : Key(under);
    std::vector<std::string> out;
    for (auto& [key, node] : Fake.nodes) {
        if (key.compare(0, prefix.size(), prefix) == 0)
            out.push_back(node.path);
    }
    return out;
}

void FakeAddKey(const std::string& key)
{
    std::string folded = FakeFold(key);
    if (Fake.keys.count(folded))
        return;
    size_t sep = key.rfind('\\');
    if (sep != std::string::npos)
        FakeAddKey(key.substr(0, sep));
    Fake.keys[folded].path = key;
}

void FakeSetValue(const std::string& key, const std::string& name, const std::string& bytes)
{
    FakeAddKey(key);
    Fake.keys[FakeFold(key)].values[FakeFold(name)] = bytes;
}

void FakeSetString(const std::string& key, const std::string& name, const std::string& text)
{
    FakeSetValue(key, name, text + std::string(1, '\0'));
}

bool FakeKeyExists(const std::string& key) { return Fake.keys.count(FakeFold(key)) > 0; }

// ---- handles

struct FakeHandle {
    enum Kind { kSearch, kFile, kKey, kItem } kind;
    std::vector<SysFindData> matches;  // search
    size_t next = 0;
    std::string path;  // file or key, folded; an item's where it was last seen
    size_t pos = 0;
    uint64_t id = 0;    // an item's node
    bool hold = false;  // an item held without sharing deletion
};

static SysHandle Open(FakeHandle* h)
{
    Fake.openHandles++;
    return h;
}

static void Release(SysHandle handle)
{
    Fake.openHandles--;
    delete (FakeHandle*)handle;
}

// ---- searches

static bool WildMatch(const char* pattern, const char* name)
{
    if (!*pattern)
        return !*name;
    if (*pattern == '*')
        return WildMatch(pattern + 1, name) || (*name && WildMatch(pattern, name + 1));
    if (!*name)
        return false;
    if (*pattern == '?' || *pattern == *name)
        return WildMatch(pattern + 1, name + 1);
    return false;
}

static uint32_t Attributes(const FakeNode& node)
{
    return (node.isFolder ? kFileAttributeDirectory : 0x20) |
           (node.reparsePoint ? kFileAttributeReparsePoint : 0);
}

// Wine reports a link's attribute in its entry but no tag.
static uint32_t Tag(const FakeNode& node) { return Fake.wineRules ? 0 : node.reparseTag; }

static SysFindData Entry(const std::string& name, uint32_t attributes, uint32_t tag = 0,
                         uint64_t fileId = 0)
{
    SysFindData data;
    memset(&data, 0, sizeof data);
    data.attributes = attributes;
    data.reparseTag = tag;
    data.fileId = fileId;
    strncpy(data.fileName, name.c_str(), sizeof data.fileName - 1);
    return data;
}

// The entries of a folder that match a pattern with wildcards.
static void List(const std::string& folder, const std::string& pattern, FakeHandle* search)
{
    if (!Fake.nodes.count(folder) || !Fake.nodes[folder].isFolder)
        return;
    if (folder.size() > 2) {  // drive roots have no dot entries
        search->matches.push_back(Entry(".", kFileAttributeDirectory));
        search->matches.push_back(Entry("..", kFileAttributeDirectory));
    }
    std::string foldedPattern = FakeFold(pattern) == "*.*" ? "*" : FakeFold(pattern);
    auto it = Fake.nodes.upper_bound(folder + "\\");
    for (; it != Fake.nodes.end() && it->first.compare(0, folder.size() + 1, folder + "\\") == 0; ++it) {
        const FakeNode& node = it->second;
        if (Parent(it->first) == folder &&
            WildMatch(foldedPattern.c_str(), FakeFold(LastName(node.path)).c_str()))
            search->matches.push_back(Entry(LastName(node.path), Attributes(node), Tag(node), node.id));
    }
}

// A search's first match, or none (and no search).
static SysHandle FirstMatch(FakeHandle* search, SysFindData* found)
{
    if (search->matches.empty()) {
        delete search;
        return 0;
    }
    *found = search->matches[0];
    search->next = 1;
    return Open(search);
}

static int NextMatch(SysHandle handle, SysFindData* found)
{
    auto* search = (FakeHandle*)handle;
    if (search->next >= search->matches.size())
        return 0;
    *found = search->matches[search->next++];
    return 1;
}

static SysHandle FakeFindFirstFile(const char* pattern, SysFindData* found)
{
    if (Fails(kOpFindFirstFile))
        return 0;
    std::string abs = Absolute(pattern);
    std::string name = LastName(abs);
    auto* search = new FakeHandle{FakeHandle::kSearch, {}, 0, "", 0};
    if (name.find_first_of("*?") == std::string::npos) {
        if (FakeNode* node = Node(abs))
            search->matches.push_back(Entry(LastName(node->path), Attributes(*node), Tag(*node)));
    } else {
        List(FakeFold(Parent(Resolve(abs))), name, search);
    }
    return FirstMatch(search, found);
}

static int FakeFindNextFile(SysHandle handle, SysFindData* found)
{
    return !Fails(kOpFindNextFile) && NextMatch(handle, found);
}

static int FakeFindClose(SysHandle handle)
{
    bool fail = Fails(kOpFindClose);
    Release(handle);
    return !fail;
}

static uint32_t FakeGetFileAttributes(const char* path)
{
    if (Fails(kOpGetFileAttributes))
        return kInvalidFileAttributes;
    FakeNode* node = Node(path);
    if (!node)
        Fake.lastError = FakeIsFolder(Parent(Absolute(path))) ? kErrorFileNotFound : kErrorPathNotFound;
    return node ? Attributes(*node) : kInvalidFileAttributes;
}

static void Forget(const std::string& key)
{
    Fake.deleted.push_back(Fake.nodes[key].path);
    Fake.deletedIds.push_back(Fake.nodes[key].id);
    Fake.nodes.erase(key);
}

// A failed call: its error for GetLastError.
static int Failed(uint32_t error)
{
    Fake.lastError = error;
    return 0;
}

static int FakeDeleteFile(const char* path)
{
    if (Fails(kOpDeleteFile))
        return Failed(31);
    FakeNode* node = Node(path);
    if (!node)
        return Failed(2);
    if (node->locked)
        return Failed(kErrorSharingViolation);
    if (node->isFolder || Refused(path))
        return Failed(kErrorAccessDenied);
    Forget(Key(path));
    return 1;
}

static int FakeRemoveDirectory(const char* path)
{
    if (Fails(kOpRemoveDirectory))
        return Failed(31);
    FakeNode* node = Node(path);
    if (!node || !node->isFolder)
        return Failed(2);
    if (HasChildren(Key(path)))
        return Failed(kErrorDirNotEmpty);
    if (node->locked || Key(path).size() <= 2 || Refused(path))
        return Failed(kErrorAccessDenied);
    Forget(Key(path));
    return 1;
}

static int FakeMoveFile(const char* from, const char* to)
{
    if (Fails(kOpMoveFile))
        return 0;
    FakeNode* node = Node(from);
    std::string target = Absolute(to);
    if (!node || node->isFolder || node->locked || Node(to) || !FakeIsFolder(Parent(target)) ||
        Refused(from) || Refused(to))
        return 0;
    FakeNode moved = *node;
    moved.path = target;
    Fake.nodes.erase(Key(from));
    Fake.nodes[FakeFold(target)] = moved;
    return 1;
}

static int FakeMoveFileEx(const char* from, const char* to, uint32_t flags)
{
    // The request goes into the machine's registry: an elevated token's.
    bool limited = Fake.token == kFakeTokenLimited || Fake.token == kFakeTokenStandard;
    if (Fails(kOpMoveFileEx) || to || flags != kMoveFileDelayUntilReboot || !Node(from) || limited)
        return Failed(kErrorAccessDenied);
    Fake.delayedDeletes.push_back(from);
    return 1;
}

static int FakeWriteProfileString(const char* section, const char* key, const char* value,
                                  const char* file)
{
    if (Fails(kOpWriteProfileString) || !FakeIsFolder(Parent(Absolute(file))) || Refused(file))
        return 0;
    FakeNode* node = Node(file);
    if (node && (node->locked || node->isFolder))
        return 0;
    // The key goes at the end of its section, or a new section at the end.
    std::string entry = std::string(key) + "=" + value + "\r\n";
    std::string header = FakeFold(std::string("[") + section + "]");
    if (!node) {
        FakeAddFile(file, std::string("[") + section + "]\r\n" + entry);
        return 1;
    }
    std::string& data = node->data;
    size_t at = std::string::npos;
    for (size_t line = 0; line < data.size();) {
        size_t end = data.find('\n', line);
        end = end == std::string::npos ? data.size() : end + 1;
        if (at == std::string::npos && FakeFold(data.substr(line, header.size())) == header)
            at = end;
        else if (at != std::string::npos && data[line] == '[')
            break;
        else if (at != std::string::npos)
            at = end;
        line = end;
    }
    if (at == std::string::npos)
        data += std::string("[") + section + "]\r\n" + entry;
    else
        data.insert(at, entry);
    return 1;
}

static uint32_t CopyOut(const std::string& text, char* out, uint32_t size)
{
    if (text.empty() || text.size() >= size)
        return 0;
    memcpy(out, text.c_str(), text.size() + 1);
    return (uint32_t)text.size();
}

static uint32_t FakeGetWindowsDirectory(char* out, uint32_t size)
{
    return Fails(kOpGetWindowsDirectory) ? 0 : CopyOut(Fake.windowsDir, out, size);
}

static uint32_t FakeGetModuleFileName(char* out, uint32_t size)
{
    return Fails(kOpGetModuleFileName) ? 0 : CopyOut(Fake.modulePath, out, size);
}

static uint32_t FakeGetShortPathName(const char* path, char* out, uint32_t size)
{
    if (Fails(kOpGetShortPathName))
        return 0;
    auto alias = Fake.aliases.find(Key(path));
    if (alias != Fake.aliases.end())
        path = alias->second.c_str();
    if (!Node(path))
        return 0;
    auto it = Fake.shortNames.find(Key(path));
    return CopyOut(it == Fake.shortNames.end() ? std::string(path) : it->second, out, size);
}

static int FakeSetCurrentDirectory(const char* path)
{
    if (Fails(kOpSetCurrentDirectory) || !FakeIsFolder(path))
        return 0;
    Fake.currentDir = Absolute(path);
    return 1;
}

static int FakeGetSpecialFolderPath(int csidl, char* out)
{
    if (Fails(kOpGetSpecialFolderPath))
        return 0;
    const std::string& dir = csidl == kCsidlDesktopDirectory ? Fake.desktopDir
                             : csidl == kCsidlPrograms       ? Fake.programsDir
                             : csidl == kCsidlLocalAppData   ? Fake.localAppDataDir
                                                             : std::string();
    return CopyOut(dir, out, 260) != 0;
}

// ---- registry

enum { kErrorMoreData = 234, kErrorFault = 31, kErrorBadNetPath = 53, kErrorUntrustedMountPoint = 448 };

static long FakeRegOpenKey(const char* subKey, SysHandle* key)
{
    *key = 0;
    if (Fails(kOpRegOpenKey))
        return kErrorFault;
    if (!FakeKeyExists(subKey))
        return kErrorFileNotFound;
    *key = Open(new FakeHandle{FakeHandle::kKey, {}, 0, FakeFold(subKey), 0});
    return 0;
}

static FakeKey* KeyOf(SysHandle handle)
{
    auto it = Fake.keys.find(((FakeHandle*)handle)->path);
    return it == Fake.keys.end() ? nullptr : &it->second;
}

static long FakeRegQueryValue(SysHandle handle, const char* name, char* data, uint32_t* size)
{
    if (Fails(kOpRegQueryValue))
        return kErrorFault;
    FakeKey* key = KeyOf(handle);
    if (!key || !key->values.count(FakeFold(name)))
        return kErrorFileNotFound;
    const std::string& bytes = key->values[FakeFold(name)];
    uint32_t room = *size;
    *size = (uint32_t)bytes.size();
    if (bytes.size() > room)
        return kErrorMoreData;
    memcpy(data, bytes.data(), bytes.size());
    return 0;
}

static std::vector<std::string> SubKeys(const std::string& folded)
{
    std::vector<std::string> out;
    for (auto& [k, key] : Fake.keys) {
        if (k.size() > folded.size() + 1 && k.compare(0, folded.size() + 1, folded + "\\") == 0 &&
            k.find('\\', folded.size() + 1) == std::string::npos)
            out.push_back(k);
    }
    return out;
}

static long FakeRegQueryInfoKey(SysHandle handle, uint32_t* subKeys, uint32_t* values)
{
    if (Fails(kOpRegQueryInfoKey))
        return kErrorFault;
    FakeKey* key = KeyOf(handle);
    if (!key)
        return kErrorFileNotFound;
    *subKeys = (uint32_t)SubKeys(((FakeHandle*)handle)->path).size();
    *values = (uint32_t)key->values.size();
    return 0;
}

static long FakeRegDeleteKey(const char* subKey)
{
    if (Fails(kOpRegDeleteKey))
        return kErrorFault;
    std::string folded = FakeFold(subKey);
    if (!Fake.keys.count(folded))
        return kErrorFileNotFound;
    // The NT family refuses a key with sub-keys; the older family takes
    // them along.
    if (!SubKeys(folded).empty() && Fake.platformId == kPlatformWin32Nt)
        return kErrorAccessDenied;
    for (auto it = Fake.keys.begin(); it != Fake.keys.end();) {
        bool below = it->first == folded ||
                     it->first.compare(0, folded.size() + 1, folded + "\\") == 0;
        it = below ? Fake.keys.erase(it) : std::next(it);
    }
    return 0;
}

static long FakeRegCloseKey(SysHandle key)
{
    bool fail = Fails(kOpRegCloseKey);
    Release(key);
    return fail ? kErrorFault : 0;
}

// ---- the rest

static int FakeGetVersionEx(uint32_t* platformId)
{
    if (Fails(kOpGetVersionEx))
        return 0;
    *platformId = Fake.platformId;
    return 1;
}

static uint32_t FakeGetACP() { return Fails(kOpGetACP) ? 1252 : Fake.codePage; }

static int FakeGetCPInfo(uint32_t codePage, SysCpInfo* info)
{
    if (Fails(kOpGetCPInfo))
        return 0;
    memset(info, 0, sizeof *info);
    info->maxCharSize = codePage == 65001 ? 4 : codePage == 932 || (codePage >= 936 && codePage <= 950) ? 2 : 1;
    if (codePage == 932) {
        const unsigned char ranges[] = {0x81, 0x9F, 0xE0, 0xFC};
        memcpy(info->leadByte, ranges, sizeof ranges);
    }
    return 1;
}

static uint32_t FakeGetTokenElevation()
{
    if (Fails(kOpGetTokenElevation) || Fake.token == kFakeTokenUnknown)
        return kTokenElevationUnknown;
    return Fake.token == kFakeTokenFull ? kTokenElevated : kTokenNotElevated;
}

// ---- the walk through handles

// The node of an item handle, wherever it is now: a rename keeps it.
static FakeNode* ItemNode(FakeHandle* h)
{
    auto it = Fake.nodes.find(h->path);
    if (it != Fake.nodes.end() && it->second.id == h->id)
        return &it->second;
    for (auto& [key, node] : Fake.nodes) {
        if (node.id == h->id) {
            h->path = key;
            return &node;
        }
    }
    return nullptr;
}

static SysHandle OpenItem(const std::string& key, bool hold)
{
    FakeNode& node = Fake.nodes[key];
    if (hold)
        node.holds++;
    auto* h = new FakeHandle{FakeHandle::kItem, {}, 0, key, 0, node.id, hold};
    return Open(h);
}

// From Windows 10 22H2 on, an elevated process that turned the guard on
// follows no link a standard user made, wherever it is on the path.
static bool GuardRefuses(const std::string& abs)
{
    if (Fake.mitigationPolicy != kProcessRedirectionTrustPolicy || !(Fake.mitigationFlags & 1) ||
        Fake.token != kFakeTokenFull)
        return false;
    std::vector<size_t> ends = Separators(abs);
    ends.push_back(abs.size());
    for (size_t end : ends) {
        auto it = Fake.nodes.find(FakeFold(abs.substr(0, end)));
        if (it != Fake.nodes.end() && it->second.untrusted && !it->second.linkTarget.empty())
            return true;
    }
    return false;
}

static uint32_t FakeOpenFolder(const char* path, SysHandle* folder)
{
    *folder = 0;
    if (Fails(kOpOpenFolder))
        return kErrorFault;
    // "." and "C:" name the current folder (of that drive).
    std::string name = path;
    bool current = name == "." || (name.size() == 2 && name[1] == ':' &&
                                   FakeFold(name) == FakeFold(Fake.currentDir.substr(0, 2)));
    std::string abs = current ? Fake.currentDir : Absolute(path);
    if (GuardRefuses(abs))
        return kErrorUntrustedMountPoint;
    std::string key = FakeFold(Resolve(abs, true));
    auto it = Fake.nodes.find(key);
    if (it == Fake.nodes.end())
        return abs.compare(0, 2, "\\\\") == 0 ? (uint32_t)kErrorBadNetPath : (uint32_t)kErrorFileNotFound;
    if (!it->second.isFolder)
        return kErrorDirectory;
    if (SharingConflict(it->second, kShareRead, kShareRead | kShareWrite))
        return kErrorSharingViolation;
    *folder = OpenItem(key, true);
    return 0;
}

// By name in the folder's own node: nothing above it is parsed again, even
// where it has become a link meanwhile. A link named is opened as itself,
// unless by Wine's rules, which follow it.
static uint32_t FakeOpenItemAt(SysHandle folder, const char* name, uint32_t how, SysHandle* item)
{
    *item = 0;
    if (Fails(kOpOpenItemAt))
        return kErrorFault;
    FakeNode* parent = ItemNode((FakeHandle*)folder);
    if (!parent)
        return kErrorFileNotFound;
    std::string key = ((FakeHandle*)folder)->path + "\\" + FakeFold(name);
    auto it = Fake.nodes.find(key);
    if (it != Fake.nodes.end() && Fake.wineRules && !it->second.linkTarget.empty()) {
        key = FakeFold(Resolve(it->second.linkTarget, true));
        it = Fake.nodes.find(key);
    }
    if (it == Fake.nodes.end())
        return kErrorFileNotFound;
    const FakeNode& node = it->second;
    bool wantsFolder = how & kItemFolder, deletes = how & kItemDelete;
    if (node.isFolder != wantsFolder)
        return node.isFolder ? kErrorAccessDenied : kErrorDirectory;
    bool limited = Fake.token == kFakeTokenLimited || Fake.token == kFakeTokenStandard;
    if ((deletes && (RefusedKey(key) || node.denyDelete)) || (node.adminOnly && limited))
        return kErrorAccessDenied;
    // A probe only asks for the right to delete. Otherwise a locked file
    // opens for deletion (only the delete is refused), but not for
    // reading; a held folder shares no deletion, a locked one nothing.
    // A hold of ours reads and shares reading and writing; anything else
    // shares all.
    bool holds = wantsFolder && !deletes;
    int access = (deletes ? kShareDelete : 0) | ((how & kItemRead) || holds ? kShareRead : 0);
    if (!(how & kItemProbe) &&
        ((node.locked && (how & (kItemRead | kItemFolder))) || (deletes && node.holds) ||
         SharingConflict(node, access, holds ? kShareRead | kShareWrite : 7)))
        return kErrorSharingViolation;
    *item = OpenItem(key, wantsFolder && !deletes);
    return 0;
}

static SysHandle FakeFindFirstAt(SysHandle folder, const char* mask, SysFindData* found,
                                 uint32_t* error)
{
    // Fails() may let the other program act, so the node is looked up after it.
    bool fails = Fails(kOpFindFirstAt);
    FakeNode* node = ItemNode((FakeHandle*)folder);
    *error = kErrorFileNotFound;
    if (fails)
        *error = kErrorFault;
    else if (node && node->noList)
        *error = kErrorAccessDenied;
    else if (node && SharingConflict(*node, kShareRead, 7))
        *error = kErrorSharingViolation;
    if (*error != kErrorFileNotFound || !node)
        return 0;
    auto* search = new FakeHandle{FakeHandle::kSearch, {}, 0, "", 0};
    std::string key = ((FakeHandle*)folder)->path;
    if (std::string(mask).find_first_of("*?") != std::string::npos) {
        List(key, mask, search);
    } else {
        auto it = Fake.nodes.find(key + "\\" + FakeFold(mask));
        if (it != Fake.nodes.end())
            search->matches.push_back(Entry(LastName(it->second.path), Attributes(it->second),
                                            Tag(it->second), it->second.id));
    }
    return FirstMatch(search, found);
}

static int FakeFindNextAt(SysHandle handle, SysFindData* found)
{
    return !Fails(kOpFindNextAt) && NextMatch(handle, found);
}

// By Wine's rules a handle was opened through any link, and reads no tag.
static uint32_t FakeQueryItem(SysHandle item, SysItemInfo* info)
{
    FakeNode* node = Fails(kOpQueryItem) ? nullptr : ItemNode((FakeHandle*)item);
    if (!node)
        return kErrorFault;
    info->attributes = Attributes(*node) & (Fake.wineRules ? ~kFileAttributeReparsePoint : ~0u);
    info->reparseTag = Fake.wineRules ? 0 : node->reparseTag;
    info->fileId = node->id;
    return 0;
}

static int FakeReadItem(SysHandle item, void* buffer, uint32_t size, uint32_t* got)
{
    auto* h = (FakeHandle*)item;
    FakeNode* node = Fails(kOpReadItem) ? nullptr : ItemNode(h);
    *got = 0;
    if (!node)
        return 0;
    size_t n = h->pos < node->data.size() ? std::min<size_t>(size, node->data.size() - h->pos) : 0;
    memcpy(buffer, node->data.data() + h->pos, n);
    h->pos += n;
    *got = (uint32_t)n;
    return 1;
}

static uint32_t FakeDeleteItem(SysHandle item)
{
    if (Fails(kOpDeleteItem))
        return kErrorFault;
    auto* h = (FakeHandle*)item;
    FakeNode* node = ItemNode(h);
    if (!node)
        return kErrorFileNotFound;
    if (node->isFolder && HasChildren(h->path))
        return kErrorDirNotEmpty;
    if (node->locked || RefusedKey(h->path) || h->path.size() <= 2)
        return kErrorAccessDenied;
    Forget(h->path);
    return 0;
}

static int FakeCloseItem(SysHandle item)
{
    bool fail = Fails(kOpCloseItem);
    auto* h = (FakeHandle*)item;
    FakeNode* node = h->kind == FakeHandle::kItem ? ItemNode(h) : nullptr;
    if (node && h->hold)
        node->holds--;
    Release(item);
    return !fail;
}

static void SwapAccounts()
{
    std::swap(Fake.keys, Fake.otherAccount.keys);
    std::swap(Fake.desktopDir, Fake.otherAccount.desktopDir);
    std::swap(Fake.programsDir, Fake.otherAccount.programsDir);
    std::swap(Fake.localAppDataDir, Fake.otherAccount.localAppDataDir);
}

// The copy is a process of its own: the program's records and the
// current folder are its own, and it starts in the system folder, as an
// elevated program does.
static uint32_t RunCopy(const char* parameters)
{
    if (Fake.copyCrash)
        return Fake.copyCrash;
    RunOptionsRecord options = RunOptions;
    PlatformInfoRecord platform = PlatformInfo;
    WalkRootsRecord roots = WalkRoots;
    InstallPathsRecord paths = InstallPaths;
    VirtualStoreRecord store = VirtualStore;
    RightsCheckRecord check = RightsCheck;
    ReportRecord report = Report;
    std::string currentDir = Fake.currentDir;
    FakeToken token = Fake.token;
    int before[kOpCount];
    memcpy(before, Fake.calls, sizeof before);

    if (Fake.copyInOtherAccount)
        SwapAccounts();
    Fake.token = kFakeTokenFull;
    Fake.process = 1;
    Fake.currentDir = Fake.windowsDir + "\\system32";
    uint32_t code = (uint32_t)EraserMain(parameters);
    Fake.process = 0;
    Fake.token = token;
    if (Fake.copyInOtherAccount)
        SwapAccounts();

    for (int op = 0; op < kOpCount; op++)
        Fake.copyCalls[op] += Fake.calls[op] - before[op];
    Fake.currentDir = currentDir;
    RunOptions = options;
    PlatformInfo = platform;
    WalkRoots = roots;
    InstallPaths = paths;
    VirtualStore = store;
    RightsCheck = check;
    Report = report;
    return code;
}

static int FakeShellExecuteEx(const char* verb, const char* file, const char* parameters,
                              SysHandle* process, uint32_t* error)
{
    *process = 0;
    *error = 0;
    if (Fails(kOpShellExecuteEx) || Fake.shellExecuteError) {
        *error = Fake.shellExecuteError ? Fake.shellExecuteError : 2;
        return 0;
    }
    Fake.launches.push_back(std::string(verb) + " " + file + " " + parameters);
    Fake.copyExitCode = RunCopy(parameters);
    *process = (SysHandle)(uintptr_t)kFakeCopyHandle;
    return 1;
}

static int FakeSetMitigationPolicy(uint32_t policy, uint32_t flags)
{
    if (Fails(kOpSetMitigationPolicy))
        return 0;
    Fake.mitigationPolicy = policy;
    Fake.mitigationFlags = flags;
    return 1;
}

static int FakeGetExitCodeProcess(SysHandle, uint32_t* code)
{
    if (Fails(kOpGetExitCodeProcess))
        return 0;
    *code = Fake.copyExitCode;
    return 1;
}

// ---- the quiet run's calls

static uint32_t FakeGetLastError() { return Fake.lastError; }

static void FakeSetErrorMode(uint32_t mode)
{
    Fails(kOpSetErrorMode);
    Fake.errorMode = mode;
}

static int FakeGetLocalTime(SysTime* now)
{
    if (Fails(kOpGetLocalTime))
        return 0;
    *now = {2026, 12, 10, 9, 5, 7};
    return 1;
}

static int FakeGetUserName(char* out, uint32_t size)
{
    return !Fails(kOpGetUserName) && CopyOut(Fake.userName, out, size);
}

static uint32_t FakeGetTempPath(char* out, uint32_t size)
{
    return Fails(kOpGetTempPath) ? 0 : CopyOut(Fake.tempDir, out, size);
}

// Appends; never a folder, a link or a file another process holds.
static SysHandle FakeOpenLog(const char* path, int* empty)
{
    if (Fails(kOpOpenLog))
        return 0;
    FakeNode* node = Node(path);
    *empty = !node || node->data.empty();
    if (node && (node->isFolder || node->reparsePoint || node->locked))
        return 0;
    if (!node) {
        if (!FakeIsFolder(Parent(Absolute(path))) || Refused(path))
            return 0;
        FakeAddFile(path);
    }
    return Open(new FakeHandle{FakeHandle::kFile, {}, 0, Key(path), Node(path)->data.size()});
}

static int FakeIsOwnFile(SysHandle item)
{
    if (Fails(kOpIsOwnFile))
        return 0;
    FakeNode* node = ItemNode((FakeHandle*)item);
    return node && node->id == FakeIdOf(Fake.modulePath);
}

// ---- running programs

uint32_t FakeStartProgram(const std::string& file, const std::string& image, bool closesOnRequest,
                          int windows)
{
    uint32_t id = 0x100 + 4 * (uint32_t)Fake.processes.size();
    Fake.processes.push_back(
        {id, image.empty() ? file : image, file, closesOnRequest, windows, true, 0});
    if (Node(file))
        FakeLock(file);
    return id;
}

static FakeProcess* Process(uint32_t id)
{
    for (FakeProcess& p : Fake.processes) {
        if (p.id == id)
            return &p;
    }
    return nullptr;
}

bool FakeIsRunning(uint32_t id) { return Process(id) && Process(id)->running; }

// ---- another program

bool FakeRename(const std::string& from, const std::string& to)
{
    std::string old = FakeFold(Absolute(from)), target = Absolute(to);
    auto it = Fake.nodes.find(old);
    // Wine's server keeps the sharing rules; a program outside it does not.
    if (it == Fake.nodes.end() || (it->second.holds && !Fake.wineRules) || Node(to) ||
        !FakeIsFolder(Parent(target)))
        return false;
    std::vector<FakeNode> moved;
    for (auto at = Fake.nodes.begin(); at != Fake.nodes.end();) {
        if (at->first == old || at->first.compare(0, old.size() + 1, old + "\\") == 0) {
            at->second.path = target + at->second.path.substr(old.size());
            moved.push_back(at->second);
            at = Fake.nodes.erase(at);
        } else {
            ++at;
        }
    }
    for (FakeNode& node : moved)
        Fake.nodes[FakeFold(node.path)] = node;
    return true;
}

bool FakeSetLink(const std::string& path, const std::string& target)
{
    std::string abs = Absolute(path);
    FakeNode* node = Node(abs);
    if (node && (!node->isFolder || HasChildren(FakeFold(abs))))
        return false;
    if (!node) {
        FakeAddFolder(abs);
        node = Node(abs);
    }
    node->linkTarget = target;
    Fake.linkTargets++;
    node->reparsePoint = true;
    node->reparseTag = 0xA0000003;  // a junction
    return true;
}

uint64_t FakeIdOf(const std::string& path) { return Node(path) ? Node(path)->id : 0; }

enum : uintptr_t { kFakeProcessHandles = 0x8000, kFakeWindowsPerProcess = 16 };

static int FakeEnumWindows(int (*found)(SysHandle, uint32_t, void*), void* context)
{
    if (Fails(kOpEnumWindows))
        return 0;
    for (const FakeProcess& p : Fake.processes) {
        for (int w = 0; p.running && w < p.windows; w++) {
            if (!found((SysHandle)(p.id * kFakeWindowsPerProcess + w), p.id, context))
                return 1;
        }
    }
    return 1;
}

static int FakeGetProcessImagePath(uint32_t id, char* out)
{
    FakeProcess* p = Process(id);
    if (Fails(kOpGetProcessImagePath) || !Fake.processImages || !p || !p->running)
        return 0;
    return CopyOut(p->image, out, kPathSize) != 0;
}

static int FakePostMessage(SysHandle window, uint32_t message)
{
    if (Fails(kOpPostMessage))
        return 0;
    Fake.closeMessages.push_back((uint32_t)(uintptr_t)window);
    FakeProcess* p = Process((uint32_t)((uintptr_t)window / kFakeWindowsPerProcess));
    if (p && message == kWindowMessageClose && p->closesOnRequest && p->running &&
        ++p->closed == p->windows) {
        p->running = false;
        if (Node(p->file))
            Node(p->file)->locked = false;
    }
    return 1;
}

static SysHandle FakeOpenProcess(uint32_t id)
{
    if (Fails(kOpOpenProcess) || !FakeIsRunning(id))
        return 0;
    return (SysHandle)(kFakeProcessHandles + id);
}

static uint32_t FakeGetCurrentProcessId()
{
    return Fails(kOpGetCurrentProcessId) ? 0 : Fake.selfId;
}

static uint32_t FakeGetTickCount()
{
    Fails(kOpGetTickCount);
    return Fake.ticks;
}

static uint32_t FakeWaitForSingleObject(SysHandle handle, uint32_t milliseconds)
{
    if (Fails(kOpWaitForSingleObject))
        return 0xFFFFFFFFu;
    uintptr_t value = (uintptr_t)handle;
    Fake.waits.push_back({(uint32_t)value, milliseconds});
    if (value >= kFakeProcessHandles && value < 0x10000 &&
        !FakeIsRunning((uint32_t)(value - kFakeProcessHandles)))
        return kWaitObject0;
    Fake.ticks += milliseconds;
    return 0x102;  // timed out
}

static int FakeCloseHandle(SysHandle handle)
{
    bool fail = Fails(kOpCloseHandle);
    if ((uintptr_t)handle > 0x10000 && ((FakeHandle*)handle)->kind == FakeHandle::kFile)
        Release(handle);
    else
        Fake.closedHandles.push_back((uint32_t)(uintptr_t)handle);
    return !fail;
}

static int FakeMessageBox(SysHandle, const char* text, const char* caption, uint32_t style)
{
    if (Fails(kOpMessageBox))
        return 0;
    Fake.boxes.push_back({caption, text, style, Fake.process});
    return style == kMessageBoxQuestionYesNo ? Fake.answer : 1;
}

// A comparison has no way to fail; it is counted but never made to. Like
// lstrcmpiA it answers -1, 0 or 1.
static int FakeCompare(const char* a, const char* b)
{
    Fake.calls[kOpCompare]++;
    int order = FakeFold(a).compare(FakeFold(b));
    return order < 0 ? -1 : order > 0;
}

static SysHandle FakeCreateFile(const char* path, int forWriting)
{
    if (Fails(kOpCreateFile))
        return 0;
    FakeNode* node = Node(path);
    if (node && (node->isFolder || node->locked))
        return 0;
    if (forWriting) {
        if (node || !FakeIsFolder(Parent(Absolute(path))) || Refused(path))
            return 0;
        FakeAddFile(path);
    } else if (!node) {
        return 0;
    }
    return Open(new FakeHandle{FakeHandle::kFile, {}, 0, Key(path), 0});
}

static int FakeReadFile(SysHandle handle, void* buffer, uint32_t size, uint32_t* got)
{
    auto* file = (FakeHandle*)handle;
    *got = 0;
    if (Fails(kOpReadFile) || !Fake.nodes.count(file->path))
        return 0;
    const std::string& data = Fake.nodes[file->path].data;
    size_t n = file->pos < data.size() ? std::min<size_t>(size, data.size() - file->pos) : 0;
    memcpy(buffer, data.data() + file->pos, n);
    file->pos += n;
    *got = (uint32_t)n;
    return 1;
}

static int FakeWriteFile(SysHandle handle, const void* data, uint32_t size)
{
    auto* file = (FakeHandle*)handle;
    if (Fails(kOpWriteFile) || !Fake.nodes.count(file->path))
        return 0;
    std::string& stored = Fake.nodes[file->path].data;
    stored.replace(file->pos, std::min<size_t>(size, stored.size() - file->pos),
                   (const char*)data, size);
    file->pos += size;
    return 1;
}

static int FakeSetFilePointer(SysHandle handle)
{
    if (Fails(kOpSetFilePointer))
        return 0;
    ((FakeHandle*)handle)->pos = 0;
    return 1;
}

// ---- text

// What a conversion gives for text with no form in the other encoding: a
// byte no UTF-8 or code page 932 text has, and too short for UTF-16.
static const std::string kNoForm = "\xFF";

static std::string Iconv(const std::string& text, const char* from, const char* to)
{
    iconv_t cd = iconv_open(to, from);
    std::string out(text.size() * 4 + 4, '\0');
    char* in = (char*)text.data();
    char* put = &out[0];
    size_t inLeft = text.size(), outLeft = out.size();
    size_t done = iconv(cd, &in, &inLeft, &put, &outLeft);
    iconv_close(cd);
    if (done == (size_t)-1)
        return kNoForm;
    out.resize(out.size() - outLeft);
    return out;
}

std::string FakeRecode(const std::string& text, uint32_t from, uint32_t to)
{
    if (from == to && from != 65001)
        return text;
    std::string utf8 = text;
    if (from == 65001) {
        // What is no UTF-8 reads as U+FFFD, a byte at a time.
        utf8.clear();
        for (size_t i = 0; i < text.size();) {
            unsigned char c = (unsigned char)text[i];
            size_t length = c < 0x80 ? 1 : c >= 0xC2 && c < 0xE0 ? 2 : c >= 0xE0 && c < 0xF0 ? 3
                          : c >= 0xF0 && c < 0xF5 ? 4 : 0;
            std::string piece = length ? text.substr(i, length) : "";
            bool valid = length && piece.size() == length &&
                         Iconv(piece, "UTF-8", "UTF-16LE") != kNoForm;
            utf8 += valid ? piece : "\xEF\xBF\xBD";
            i += valid ? length : 1;
        }
    } else if (from == 932) {
        utf8 = Iconv(text, "CP932", "UTF-8");
    } else if (from != 1252) {
        utf8 = Iconv(text, ("CP" + std::to_string(from)).c_str(), "UTF-8");
    } else {
        utf8.clear();
        for (unsigned char c : text) {
            bool undefined = c == 0x81 || c == 0x8D || c == 0x8F || c == 0x90 || c == 0x9D;
            utf8 += undefined ? std::string(1, (char)0xC2) + (char)c
                              : Iconv(std::string(1, (char)c), "CP1252", "UTF-8");
        }
    }
    return to == 932 ? Iconv(utf8, "UTF-8", "CP932") : utf8;
}

static int FakeUsesWideText() { return Fake.wideText; }

static int FakeToWide(uint32_t codePage, const char* text, uint16_t* out, int size)
{
    std::string utf16 = Iconv(FakeRecode(text, codePage, 65001), "UTF-8", "UTF-16LE");
    int units = (int)(utf16.size() / 2);
    if (units >= size)
        return -1;
    memcpy(out, utf16.data(), units * 2);
    out[units] = 0;
    return units;
}

static int FakeIsValidCodePage(uint32_t codePage) { return codePage != 932 || !Fake.noCodePage932; }

void FakeUseWideText(bool on)
{
    if (Fake.wideText == on)
        return;
    uint32_t from = on ? 932 : 65001, to = on ? 65001 : 932;
    auto recode = [&](std::string& text) {
        std::string out = FakeRecode(text, from, to);
        if (out.find(kNoForm) == std::string::npos)
            text = out;
    };
    auto recodeAll = [&](std::vector<std::string>& texts) {
        for (auto& text : texts)
            recode(text);
    };
    Fake.wideText = on;
    std::map<std::string, FakeNode> nodes;
    for (auto& entry : Fake.nodes) {
        FakeNode node = entry.second;
        recode(node.path);
        recode(node.linkTarget);
        nodes[FakeFold(node.path)] = node;
    }
    Fake.nodes = nodes;
    for (auto* keys : {&Fake.keys, &Fake.otherAccount.keys}) {
        for (auto& key : *keys) {
            for (auto& value : key.second.values)
                recode(value.second);
        }
    }
    for (auto* text : {&Fake.currentDir, &Fake.windowsDir, &Fake.modulePath, &Fake.desktopDir,
                       &Fake.programsDir, &Fake.localAppDataDir, &Fake.otherAccount.desktopDir,
                       &Fake.otherAccount.programsDir, &Fake.otherAccount.localAppDataDir,
                       &Fake.userName, &Fake.tempDir})
        recode(*text);
    std::map<std::string, std::string> shortNames, aliases;
    for (auto& entry : Fake.shortNames) {
        std::string name = entry.first, shortName = entry.second;
        recode(name);
        recode(shortName);
        shortNames[FakeFold(name)] = shortName;
    }
    for (auto& entry : Fake.aliases) {
        std::string name = entry.first, path = entry.second;
        recode(name);
        recode(path);
        aliases[FakeFold(name)] = path;
    }
    Fake.shortNames = shortNames;
    Fake.aliases = aliases;
    recodeAll(Fake.protectedDirs);
    recodeAll(Fake.launches);
    recodeAll(Fake.delayedDeletes);
    recodeAll(Fake.deleted);
    for (auto& process : Fake.processes) {
        recode(process.image);
        recode(process.file);
    }
    for (auto& box : Fake.boxes) {
        recode(box.caption);
        recode(box.text);
    }
}

extern const SystemOps FakeOps;
const SystemOps FakeOps = {
    FakeFindFirstFile, FakeFindNextFile, FakeFindClose, FakeGetFileAttributes,
    FakeDeleteFile, FakeRemoveDirectory, FakeMoveFile, FakeMoveFileEx,
    FakeWriteProfileString, FakeGetWindowsDirectory, FakeGetModuleFileName,
    FakeGetShortPathName, FakeSetCurrentDirectory, FakeGetSpecialFolderPath,
    FakeRegOpenKey, FakeRegQueryValue, FakeRegQueryInfoKey, FakeRegDeleteKey,
    FakeRegCloseKey, FakeGetVersionEx, FakeGetLastError, FakeSetErrorMode, FakeGetLocalTime,
    FakeGetUserName, FakeGetTempPath, FakeOpenLog, FakeIsOwnFile, FakeGetACP, FakeGetCPInfo,
    FakeGetTokenElevation, FakeOpenFolder, FakeOpenItemAt, FakeFindFirstAt, FakeFindNextAt,
    FakeQueryItem, FakeReadItem, FakeDeleteItem, FakeCloseItem, FakeShellExecuteEx, FakeSetMitigationPolicy,
    FakeGetExitCodeProcess, FakeEnumWindows, FakeGetProcessImagePath, FakePostMessage,
    FakeOpenProcess, FakeGetCurrentProcessId, FakeGetTickCount, FakeWaitForSingleObject,
    FakeCloseHandle, FakeMessageBox, FakeCompare,
    FakeCreateFile, FakeReadFile, FakeWriteFile, FakeSetFilePointer,
    FakeUsesWideText, FakeToWide, FakeIsValidCodePage,
};

extern const SystemOps* const Sys;
const SystemOps* const Sys = &FakeOps;
