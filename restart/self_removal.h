// Deletion of the eraser's own file at the next restart of the system.
#ifndef ERASER_SELF_REMOVAL_H
#define ERASER_SELF_REMOVAL_H

// 1 when the request was placed.
int ScheduleSelfRemoval(void);
// Puts "NUL=self" right after the first [Rename] header of the profile
// file ini, or appends both; win is the Windows folder with a separator.
int RewriteWininit(const char* self, const char* win, const char* ini);

#endif
