// An in-memory stand-in for the system behind the seam, for native tests.
//
// Files and folders with case-insensitive names on drive C:, two accounts
// (each with its registry under HKEY_CURRENT_USER and its shell folders),
// a token, folders that only an elevated token may change, the Windows
// folder, the module path, the version answer and code page 932 lead
// bytes. "runas" runs the program again as a second process, elevated, in
// the account a test names. It records every message box, wait and
// delayed delete, counts open handles, and can make any one operation
// fail.
#ifndef ERASER_FAKE_SYSTEM_H
#define ERASER_FAKE_SYSTEM_H

#include <stdint.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "sysops/sysops.h"

enum FakeOp {
    kOpFindFirstFile, kOpFindNextFile, kOpFindClose, kOpGetFileAttributes, kOpDeleteFile,
    kOpRemoveDirectory, kOpMoveFile, kOpMoveFileEx, kOpWriteProfileString,
    kOpGetWindowsDirectory, kOpGetModuleFileName, kOpGetShortPathName,
    kOpSetCurrentDirectory, kOpGetSpecialFolderPath, kOpRegOpenKey, kOpRegQueryValue,
    kOpRegQueryInfoKey, kOpRegDeleteKey, kOpRegCloseKey, kOpGetVersionEx, kOpGetACP,
    kOpGetCPInfo, kOpGetTokenElevation, kOpOpenFolder, kOpOpenItemAt, kOpFindFirstAt,
    kOpFindNextAt, kOpQueryItem, kOpReadItem, kOpDeleteItem, kOpCloseItem, kOpShellExecuteEx,
    kOpSetMitigationPolicy, kOpGetExitCodeProcess, kOpEnumWindows, kOpGetProcessImagePath,
    kOpPostMessage, kOpOpenProcess, kOpGetCurrentProcessId, kOpGetTickCount,
    kOpWaitForSingleObject, kOpCloseHandle, kOpMessageBox, kOpCompare,
    kOpCreateFile, kOpReadFile, kOpWriteFile, kOpSetFilePointer, kOpGetLastError,
    kOpSetErrorMode, kOpGetLocalTime, kOpGetUserName, kOpGetTempPath, kOpOpenLog, kOpIsOwnFile,
    kOpCount
};
extern const char* const FakeOpNames[kOpCount];

struct FakeNode {
    std::string path;  // as created
    bool isFolder = false;
    bool locked = false;  // held open by another process: no delete, move or open
    bool reparsePoint = false;  // the attribute, with reparseTag in searches
    uint32_t reparseTag = 0;
    std::string data;
    uint64_t id = 0;         // the file ID: the same node whatever its name
    std::string linkTarget;  // a real link: a path through it leads there
    bool decoy = false;      // another folder's, which a link may lead to
    int holds = 0;           // handles that keep it from being renamed
    // Another program's open of it: what it asks for and what it shares
    // (kShareRead, ...); an open of ours that conflicts fails with the
    // sharing error.
    int otherAccess = 0, otherShare = 7;
    bool noList = false;      // a folder that may be passed through, not listed
    bool denyDelete = false;  // the user may read it, not delete it
    bool adminOnly = false;   // only an elevated token may open it
    bool untrusted = false;   // a link a standard user made: the guard refuses it
};
enum { kShareRead = 1, kShareWrite = 2, kShareDelete = 4 };

struct FakeBox {
    std::string caption, text;
    uint32_t style;
    int process;  // 0: the program the test started, 1: its elevated copy
};

struct FakeKey {
    std::string path;
    std::map<std::string, std::string> values;  // folded name -> raw bytes
};

// What an account has of its own. The current process's account is held
// in FakeState itself; otherAccount is the one an elevation may switch to
// (an administrator's whose password a standard user typed, or the
// hidden one of Administrator protection).
struct FakeAccount {
    std::map<std::string, FakeKey> keys;
    std::string desktopDir, programsDir, localAppDataDir;
};

// A program running with windows on the desktop. It holds its file (a
// locked node) until it ends; it ends once each of its windows got
// WM_CLOSE, when it closes on request.
struct FakeProcess {
    uint32_t id;
    std::string image;  // the program file as the system reports it
    std::string file;   // the file it holds
    bool closesOnRequest;
    int windows;
    bool running;
    int closed;  // windows sent WM_CLOSE
};

// The token: unknown before Vista (and then never refused anything);
// a limited administrator's and a standard user's are not elevated.
enum FakeToken { kFakeTokenUnknown, kFakeTokenLimited, kFakeTokenStandard, kFakeTokenFull };

struct FakeState {
    std::map<std::string, FakeNode> nodes;  // by folded full path
    std::map<std::string, FakeKey> keys;    // by folded key path
    std::string currentDir = "C:\\";
    std::string windowsDir = "C:\\WINDOWS";
    std::string modulePath = "C:\\WINDOWS\\TEMP\\VELDUNIN.EXE";
    std::map<std::string, std::string> shortNames;  // folded long path -> short
    std::map<std::string, std::string> aliases;     // folded other form -> long path
    std::string desktopDir, programsDir, localAppDataDir;  // empty: lookup fails
    uint32_t platformId = kPlatformWin32Nt;
    uint32_t codePage = 932;  // the ANSI code page
    // The NT family's W calls: the program's text is UTF-8 and so is every
    // name here (FakeUseWideText); noCodePage932: a Western Windows without
    // East Asian support.
    bool wideText = false, noCodePage932 = false;
    // Elevation. Below these folders a token that is not elevated is
    // refused with access denied, and so is its restart request.
    FakeToken token = kFakeTokenUnknown;
    std::vector<std::string> protectedDirs = {"C:\\WINDOWS", "C:\\Program Files"};
    FakeAccount otherAccount;
    // Starting the elevated copy: shellExecuteError fails it with that
    // error; else it runs (its process handle is kFakeCopyHandle) with a
    // full token, in otherAccount when copyInOtherAccount, and ends with
    // its exit code, or with copyCrash before it does anything.
    uint32_t shellExecuteError = 0;
    bool copyInOtherAccount = false;
    uint32_t copyCrash = 0;
    int process = 0;  // 1 while the copy runs
    uint32_t copyExitCode = 0;
    int copyCalls[kOpCount] = {};  // the calls the copy made
    uint32_t mitigationPolicy = 0, mitigationFlags = 0;  // the last one set
    std::vector<std::string> launches;  // verb, file and parameters, by blanks

    // Running programs; processImages false: the system cannot tell a
    // process's program file (NT 4.0). Every question gets answer; a wait
    // on a process that runs on moves the clock (ticks) by its time-out.
    std::vector<FakeProcess> processes;
    bool processImages = true;
    uint32_t selfId = 0x77;
    int answer = kAnswerYes;
    uint32_t ticks = 0;
    std::vector<uint32_t> closeMessages;  // the windows sent WM_CLOSE

    std::vector<FakeBox> boxes;
    std::vector<std::pair<uint32_t, uint32_t>> waits;  // handle value, time-out
    std::vector<uint32_t> closedHandles;
    std::vector<std::string> delayedDeletes;
    // The quiet run's: the last error of a failed path call, the error
    // mode set, the account's name and the temporary folder.
    uint32_t lastError = 0, errorMode = 0;
    std::string userName = "yuki";
    std::string tempDir = "C:\\WINDOWS\\TEMP\\";
    std::vector<std::string> deleted;  // every path a delete or removal took away
    std::vector<uint64_t> deletedIds;  // and the node each was
    uint64_t nextId = 1;
    // Another program of the user's: interfere runs once, just before the
    // interfereAt-th call of the run (counted like failSeq).
    long interfereAt = 0;
    std::function<void()> interfere;
    // Wine's rules for the walk through handles: an open follows a link, a
    // tag read through a handle is 0, and a held folder can be renamed from
    // outside Wine.
    bool wineRules = false;
    int linkTargets = 0;  // links that lead somewhere: paths are then resolved
    int openHandles = 0;

    // Fault injection: fail failCount calls of failOp from call number
    // failNth (1-based), or every call of it when failNth is 0; or the
    // failSeq-th call of any operation. Off while failOp is kOpCount and
    // failSeq is 0.
    FakeOp failOp = kOpCount;
    int failNth = 0;
    int failCount = 1;
    long failSeq = 0;
    long seq = 0;
    int calls[kOpCount] = {};
    std::vector<FakeOp> trace;  // every call, in order
    int injected = 0;
    FakeOp injectedOp = kOpCount;  // the operation that was made to fail
};

extern FakeState Fake;
enum { kFakeCopyHandle = 0x7C };

// Resets the state and points Sys at the fake.
void FakeReset();
// Turns the W calls on or off, with every name and text of the state
// carried over from code page 932 to UTF-8, or back. Text the way back
// cannot carry (no code page 932 form) stays UTF-8.
void FakeUseWideText(bool on);
// Conversions as Windows makes them: code page 932 (its own table) and
// UTF-8 to and from each other; another code page as it reads bytes
// (1252's five undefined ones taken as the control characters of their
// value, as Windows takes them).
std::string FakeRecode(const std::string& text, uint32_t from, uint32_t to);
std::string FakeFold(const std::string& path);
void FakeAddFolder(const std::string& path);  // with every missing parent
void FakeAddFile(const std::string& path, const std::string& data = "");
bool FakeExists(const std::string& path);
bool FakeIsFolder(const std::string& path);
std::string FakeRead(const std::string& path);
void FakeLock(const std::string& path);
// Another program opens path asking for access, sharing share.
void FakeHoldOpen(const std::string& path, int access, int share);
// Every path under a prefix (or all), sorted, folders too.
std::vector<std::string> FakeList(const std::string& under = "");
void FakeAddKey(const std::string& key);  // with every missing parent
void FakeSetValue(const std::string& key, const std::string& name, const std::string& bytes);
void FakeSetString(const std::string& key, const std::string& name, const std::string& text);
bool FakeKeyExists(const std::string& key);
// Starts a program from file (locked while it runs), reported as image
// (file when empty); returns its process id.
uint32_t FakeStartProgram(const std::string& file, const std::string& image = "",
                          bool closesOnRequest = true, int windows = 1);
bool FakeIsRunning(uint32_t processId);
// What another program can do to a folder: rename it (refused while a
// handle holds it), or make it a link to target in place (only while it
// is empty, and never refused for a hold) or where nothing is.
bool FakeRename(const std::string& from, const std::string& to);
bool FakeSetLink(const std::string& path, const std::string& target);
uint64_t FakeIdOf(const std::string& path);

#endif
