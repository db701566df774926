// Process entry of the Windows program. It links no C runtime: the entry
// point is ours, and so are the two memory routines the compiler may call.
#include <windows.h>

#include "control/eraser.h"
#include "sysops/sysops.h"

// The command line less the program's name (quoted or not) and the
// spaces and tabs after it.
static const char* ArgumentText(const char* line)
{
    if (*line == '"') {
        line++;
        while (*line && *line != '"')
            line++;
        if (*line)
            line++;
    } else {
        while (*line && *line != ' ' && *line != '\t')
            line++;
    }
    while (*line == ' ' || *line == '\t')
        line++;
    return line;
}

extern "C" void __stdcall start(void)
{
    // Before anything can load a library: see RestrictLibrarySearch.
    RestrictLibrarySearch();
    ExitProcess((UINT)EraserMain(ArgumentText(GetCommandLineA())));
}

// GCC may emit calls to these for copies and clears of records. The build
// keeps it from turning the loops back into calls to themselves.
extern "C" void* memset(void* dest, int value, size_t size)
{
    unsigned char* p = (unsigned char*)dest;
    while (size--)
        *p++ = (unsigned char)value;
    return dest;
}

extern "C" void* memcpy(void* dest, const void* src, size_t size)
{
    unsigned char* d = (unsigned char*)dest;
    const unsigned char* s = (const unsigned char*)src;
    while (size--)
        *d++ = *s++;
    return dest;
}
