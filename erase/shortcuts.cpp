// The shortcuts on the user's desktop and in the Start Menu group.
#include "erase/erase.h"
#include "paths/removal.h"

void RemoveShortcuts(SysHandle owner)
{
    char folder[kPathSize];
    if (Sys->GetSpecialFolderPath(kCsidlDesktopDirectory, folder)) {
        FixTrailingSeparator(folder, kAddSeparator);
        for (int i = 0; i < kDesktopShortcutCount; i++)
            DeleteIfPresentIn(owner, folder, DesktopShortcutNames[i], ShortcutExtension);
    }

    if (!Sys->GetSpecialFolderPath(kCsidlPrograms, folder))
        return;
    FixTrailingSeparator(folder, kAddSeparator);
    char group[kPathSize];
    if (!ComposePath(group, folder, StartMenuGroupName)) {
        ShowCannotDeleteNoticeParts(owner, folder, StartMenuGroupName, "", kErrorFilenameTooLong);
        return;
    }
    FixTrailingSeparator(group, kAddSeparator);
    // A group that is a link is left whole; the chain below names it.
    char link[kPathSize];
    if (!FindLinkOnWay(folder, group, link)) {
        for (int i = 0; i < kStartMenuShortcutCount; i++)
            DeleteIfPresentIn(owner, group, StartMenuShortcutNames[i], ShortcutExtension);
    }
    // The programs folder itself is the stop of the chain: it always stays.
    FixTrailingSeparator(folder, kStripSeparator);
    FixTrailingSeparator(group, kStripSeparator);
    RemoveFolderChain(owner, folder, group, FolderWordStartMenu);
}
