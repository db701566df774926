// The quiet run (/Q), for deployment tools and scripts where nobody sees a
// box: it shows none, says what happened in a log, and ends with the codes
// those tools read.
#include "control/eraser.h"
#include "erase/erase.h"
#include "paths/report.h"
#include "restart/self_removal.h"

static const char LogName[] = "VELDUNIN.LOG";

// The log named by /L, or VELDUNIN.LOG in the temporary folder. A /L that
// cannot be used (empty, cut, not a full path) means no log at all.
static void OpenRunLog(const char* args)
{
    char path[kPathSize], temp[kPathSize];
    if (RunOptions.flags & kFlagLog)
        ComposePath(path, RunOptions.logPath);
    else if (!Sys->GetTempPathA(temp, kPathSize) || !ComposePath(path, temp, LogName))
        path[0] = 0;
    if (!IsFullPath(path))
        return;
    int empty = 0;
    Report.log = Sys->OpenLog(path, &empty);
    // UTF-8 says so at the start of a new log; an older run's log, in the
    // ANSI code page or not, is appended to as it is.
    if (empty && Sys->UsesWideText())
        LogText("\xEF\xBB\xBF");
    SysTime now = {};
    Sys->GetLocalTime(&now);
    char stamp[64];
    FormatText(stamp, sizeof stamp, "%d-%02d-%02d %02d:%02d:%02d\t", (int)now.year,
               (int)now.month, (int)now.day, (int)now.hour, (int)now.minute, (int)now.second);
    LogText(stamp);
    LogText(args);
    LogText("\r\n");
}

static int EndQuietRun(int code)
{
    // A run in the wrong account is the usual reason for finding nothing.
    char user[kPathSize], line[kPathSize + 32];
    if (code != kExitQuietNotInstalled || !Sys->GetUserNameA(user, kPathSize))
        user[0] = 0;
    FormatText(line, sizeof line, user[0] ? "RESULT %d\t%s\r\n" : "RESULT %d\r\n", code, user);
    LogText(line);
    if (Report.log)
        Sys->CloseHandle(Report.log);
    Report.log = 0;
    return code;
}

int RunQuiet(const char* args, int found)
{
    Report.quiet = 1;
    Sys->SetErrorMode(kErrorModeNoBoxes);
    OpenRunLog(args);
    if (found != kInstallFound)
        return EndQuietRun(found == kInstallMissing ? kExitQuietNotInstalled : kExitQuietFailed);
    // Nothing is touched, and no program asked to close, before it is
    // known that this token may remove the machine's items: no prompt can
    // be shown to ask for the rights.
    if (PlatformInfo.tokenElevation == kTokenNotElevated && MachineItemsNeedRights())
        return EndQuietRun(kExitElevationRequired);
    CloseRunningPrograms();
    EraseRun(0);
    // Started as the installed uninstaller, its file is the package's, in
    // use: no request is placed for it.
    if (!Report.selfInPackage)
        ScheduleSelfRemoval();
    return EndQuietRun(Report.kept ? kExitQuietFailed : kExitQuietDone);
}
