#include "control/eraser.h"

#include "erase/erase.h"
#include "paths/removal.h"
#include "paths/report.h"
#include "restart/self_removal.h"
#include "sysops/sysops.h"

RunOptionsRecord RunOptions;
PlatformInfoRecord PlatformInfo;

const char* CompletionText =
    "アプリケーションを削除しました。\n"
    "アンインストール処理を完全に終了するためには\n"
    "システムを再起動してください。";

int DetectPlatform(void)
{
    uint32_t platformId = 0;
    if (!Sys->GetVersionExA(&platformId))
        return 0;
    PlatformInfo.isNtFamily = platformId == kPlatformWin32Nt;
    return 1;
}

static int IsBlank(unsigned char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

const char* ReadSwitchPath(const char* text, char* out)
{
    int quoted = *text == '"';
    if (quoted)
        text++;
    int n = 0;
    int fits = 1;
    while (*text && !(quoted ? *text == '"' : IsBlank((unsigned char)*text))) {
        int width = CharacterWidth(text);
        if (n + width > PathRoom - 1)
            fits = 0;
        for (int i = 0; i < width; i++, text++) {
            if (fits)
                out[n++] = *text;
        }
    }
    out[fits ? n : 0] = 0;
    return text;
}

// Reads the /H number after the letter the way the C runtime's atoi does,
// with 32-bit wrap-around. The scan resumes right after the letter: the
// digits that follow it are no switch, so passing over them as text is
// the same as skipping them.
static void ReadWaitHandle(const char* text)
{
    const char* p = text;
    while (IsBlank((unsigned char)*p))
        p++;
    int negative = *p == '-';
    if (*p == '-' || *p == '+')
        p++;
    uint32_t value = 0;
    while (*p >= '0' && *p <= '9')
        value = value * 10u + (uint32_t)(*p++ - '0');
    RunOptions.waitHandle = negative ? 0u - value : value;
    RunOptions.flags |= kFlagWait;
}

// One scan of the switches. /L takes a path only in the scan of a quiet
// run: elsewhere it is no switch, as it never was, and what follows it is
// read as it always was.
static void ScanSwitches(const char* text, int logTakesPath)
{
    RunOptions.flags = 0;
    RunOptions.waitHandle = 0;
    RunOptions.deletePath[0] = RunOptions.installDir[0] = RunOptions.logPath[0] = 0;
    while (*text) {
        if (*text++ != '/')
            continue;
        char letter = *text | 0x20;
        if (!*text)
            return;
        text++;
        if (letter == 'd') {
            text = ReadSwitchPath(text, RunOptions.deletePath);
            RunOptions.flags |= kFlagDelete;
        } else if (letter == 'h')
            ReadWaitHandle(text);
        else if (letter == 's')
            RunOptions.flags |= kFlagSilent;
        else if (letter == 'e') {
            text = ReadSwitchPath(text, RunOptions.installDir);
            RunOptions.flags |= kFlagElevatedCopy;
        } else if (letter == 'q') {
            RunOptions.flags |= kFlagQuiet;
        } else if (letter == 'l' && logTakesPath) {
            text = ReadSwitchPath(text, RunOptions.logPath);
            RunOptions.flags |= kFlagLog;
        }
    }
}

void ParseCommandLine(const char* text)
{
    ScanSwitches(text, 0);
    if (RunOptions.flags & kFlagQuiet)
        ScanSwitches(text, 1);
}

void EnterWindowsFolder(char* win)
{
    if (Sys->GetWindowsDirectoryA(win, kPathSize - 1))
        Sys->SetCurrentDirectoryA(win);
    else
        win[0] = 0;
}

// The user's items come first and last: the shortcuts, then the machine's
// items unless a copy did them, then the VirtualStore and the registry.
void EraseRun(int machinePartDone)
{
    char win[kPathSize];
    EnterWindowsFolder(win);
    RemoveShortcuts(0);
    if (!machinePartDone)
        RemoveMachineItems(0);
    LoadVirtualStore(win);
    RemoveVirtualStore(0);
    RemoveRegistryKeys();
}

// Enters the Windows folder, against which an install folder given
// without a drive is read, as the erase run does; settles the package's
// names; and holds the roots of the walk: before the redirection guard
// goes on, since the install folder is the user's own value and may be a
// junction the user made.
int ReachInstallation(void)
{
    char win[kPathSize];
    EnterWindowsFolder(win);
    if (!ChoosePackageNames())
        return kInstallUnusable;
    OpenWalkRoots();
    return kInstallFound;
}

static int RunMode(const char* args)
{
    if (RunOptions.flags & kFlagDelete) {
        GuardRedirection();
        if (RunOptions.deletePath[0])
            Sys->DeleteFileA(RunOptions.deletePath);
        return 0;
    }
    if (RunOptions.flags & kFlagElevatedCopy)
        return RunElevatedCopy();

    int found = LoadInstallPaths();
    if (found == kInstallFound)
        found = ReachInstallation();
    GuardRedirection();
    if (RunOptions.flags & kFlagQuiet)
        return RunQuiet(args, found);
    if (found != kInstallFound)
        return kExitNoInstallation;
    CloseRunningPrograms();
    int exitCode = 0;
    int handedOver = HandMachinePartOver(&exitCode);
    if (exitCode)
        return exitCode;
    EraseRun(handedOver);
    if (!handedOver)
        ScheduleSelfRemoval();
    CloseWalkRoots();  // nothing is held while the user reads the box
    Sys->MessageBoxA(0, CompletionText, NoticeCaption, kMessageBoxIconInformation);
    return 0;
}

int EraserMain(const char* args)
{
    Report.quiet = Report.kept = Report.selfInPackage = Report.keepKey = 0;
    Report.log = 0;
    PlatformInfo.isNtFamily = 0;
    PlatformInfo.tokenElevation = kTokenElevationUnknown;
    DetectPlatform();
    LearnLeadBytes();
    ReadFixedTexts(0);
    ParseCommandLine(args);

    if (RunOptions.waitHandle) {
        // The handle value travels as a 32-bit number; sign-extend it so
        // that pseudo-handles keep their meaning in a 64-bit build.
        SysHandle handle = (SysHandle)(intptr_t)(int32_t)RunOptions.waitHandle;
        Sys->WaitForSingleObject(handle, kWaitMilliseconds);
        Sys->CloseHandle(handle);
        RunOptions.waitHandle = 0;
    }

    LearnTokenElevation();
    int code = RunMode(args);
    CloseWalkRoots();
    return code;
}
