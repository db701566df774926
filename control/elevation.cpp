// Administrator rights for the machine's items only.
//
// From Vista on, a program runs with a token that is not elevated unless
// started with "Run as administrator": a limited administrator's, or a
// standard user's. The installed files under Program Files, the screen
// savers in the Windows folder and the restart request may then be
// refused, while the package key, in the user's own registry, would go,
// and a second run would find nothing. So when the machine's items need
// rights, the program starts an elevated copy of itself for them alone.
//
// Elevation need not keep the account: a standard user types another
// administrator's password, and under Administrator protection every
// elevation runs in a hidden administrator account. The copy therefore
// never looks at the user's registry, shell folders or VirtualStore: it
// is told the install folder with /E, and the shortcuts, the mirror and
// the keys stay with this process, which the user started.
#include "control/eraser.h"
#include "erase/erase.h"
#include "paths/report.h"
#include "restart/self_removal.h"
#include "sysops/sysops.h"

static const char ElevatedCopySwitch[] = "/E\"";

// The copy's parameters: /E and the InstallDir value in quotes. A value
// that would not come back whole from the copy's command line (one with a
// quote, or ending in a lead byte that would take the quote along) is
// never handed over; nor is one that names a folder relative to the
// current one, since the copy starts elsewhere.
static int ComposeCopyParameters(char* out, int size)
{
    if (!IsFullPath(RunOptions.installDir) ||
        !ComposeText(out, size, ElevatedCopySwitch, RunOptions.installDir, "\"", (const char*)0))
        return 0;
    // What the copy reads is a piece of the value and its quote: the value
    // came back whole when it is as long.
    char back[kPathSize];
    ReadSwitchPath(out + 2, back);
    return TextLength(back) == TextLength(RunOptions.installDir);
}

// From Windows 10 22H2 on, no junction or link that a user made is
// followed by an elevated process, whatever a path it is given leads
// through. The walk through handles follows none below the install folder
// anyway; the guard covers the paths that remain (the shortcuts, the
// restart request).
static void TurnRedirectionGuardOn(void)
{
    Sys->SetProcessMitigationPolicy(kProcessRedirectionTrustPolicy, kEnforceRedirectionTrust);
}

void LearnTokenElevation(void)
{
    // The copy turns the guard on in any case, and never asks again.
    if (PlatformInfo.isNtFamily && !(RunOptions.flags & kFlagElevatedCopy))
        PlatformInfo.tokenElevation = Sys->GetTokenElevation();
}

void GuardRedirection(void)
{
    if (PlatformInfo.tokenElevation == kTokenElevated)
        TurnRedirectionGuardOn();
}

int HandMachinePartOver(int* exitCode)
{
    // Only a token that is not elevated is worth a prompt, and only when
    // it would be refused something; the system answers "unknown" before
    // Vista, where there is no prompt to give.
    if (PlatformInfo.tokenElevation != kTokenNotElevated || !MachineItemsNeedRights())
        return 0;
    char self[kPathSize], parameters[kPathSize + 4];
    if (!Sys->GetModuleFileNameA(self, kPathSize - 1) ||
        !ComposeCopyParameters(parameters, sizeof parameters))
        return 0;
    SysHandle copy = 0;
    uint32_t error = 0;
    if (!Sys->ShellExecuteExA("runas", self, parameters, &copy, &error)) {
        if (error == kErrorProcNotFound)
            return 0;  // no shell to ask: do what these rights allow
        // Declined, or refused by a policy (the shell has said so): with
        // these rights only the user's items would go, and the key with
        // them. Everything stays for a later run.
        *exitCode = (int)error;
        return 1;
    }
    Sys->WaitForSingleObject(copy, kWaitInfinite);
    uint32_t code = 0;
    if (!Sys->GetExitCodeProcess(copy, &code))
        code = kExitCopyUnknown;
    Sys->CloseHandle(copy);
    if (code == kExitPackageKept) {
        Report.keepKey = 1;
        code = 0;
    }
    *exitCode = (int)code;
    return 1;
}

int RunElevatedCopy(void)
{
    // The same rules as for the registry's value, and a full path only.
    if (!IsFullPath(RunOptions.installDir) || !UseInstallDir(RunOptions.installDir))
        return kExitNoInstallation;
    // Started elevated, whatever its token says under a test build.
    if (ReachInstallation() != kInstallFound)
        return kExitNoInstallation;
    TurnRedirectionGuardOn();
    RemoveMachineItems(0);
    ScheduleSelfRemoval();
    return Report.keepKey ? kExitPackageKept : 0;
}
