// Elevation for an administrator whom UAC holds back.
//
// From Vista on, an administrator's programs run with a limited token
// unless started with "Run as administrator". With it the package's files
// under Program Files, the screen savers in the Windows folder and the
// restart request would all be refused, while the package key, in the
// user's own registry, would go: a second run would find nothing. So the
// program starts itself again through the elevation prompt and leaves
// the whole run to that copy. Elevating a limited token keeps the
// account, so the copy reads the same HKEY_CURRENT_USER.
#include "control/eraser.h"
#include "sysops/sysops.h"

static const char ElevatedCopySwitch[] = "/E";

int RunElevatedCopy(int* exitCode)
{
    if (!PlatformInfo.isNtFamily || (RunOptions.flags & kFlagElevatedCopy) ||
        Sys->GetTokenElevationType() != kTokenElevationTypeLimited)
        return 0;
    char self[kPathSize];
    if (!Sys->GetModuleFileNameA(self, kPathSize - 1))
        return 0;
    // The copy gets no /H: the wait is over, and the handle was closed.
    SysHandle copy = 0;
    uint32_t error = 0;
    if (!Sys->ShellExecuteExA("runas", self, ElevatedCopySwitch, &copy, &error)) {
        if (error != kErrorCancelled)
            return 0;  // no elevation to be had: do what these rights allow
        *exitCode = kExitDeclined;
        return 1;
    }
    Sys->WaitForSingleObject(copy, kWaitInfinite);
    uint32_t code = 0;
    Sys->GetExitCodeProcess(copy, &code);
    Sys->CloseHandle(copy);
    *exitCode = (int)code;
    return 1;
}
