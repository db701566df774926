// What the package owns on the in-memory system, worked out independently
// of the program's own tables walk: the fuzz targets and the fault sweep
// check that nothing else is ever removed.
#ifndef ERASER_PACKAGE_MODEL_H
#define ERASER_PACKAGE_MODEL_H

#include <set>
#include <string>

// Folded paths of everything the erase run may remove, from the current
// state: files and shortcuts of the package, save files that carry the
// header, the three data files, and the package's folders.
std::set<std::string> OwnedPaths(const std::string& installDir);
// Folded path of every node now on the system.
std::set<std::string> AllPaths();
bool IsWarning(unsigned style);

#endif
