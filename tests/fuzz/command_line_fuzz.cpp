// Any bytes as the argument text: the parse stays inside its buffers and
// the /D, /E and /L paths are either copied whole or dropped.
#include <string.h>

#include <string>

#include "control/eraser.h"
#include "tests/fake_system.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    FakeReset();
    Fake.codePage = data[0] & 1 ? 932 : 1252;
    LearnLeadBytes();
    std::string text((const char*)data + 1, size - 1);
    text = text.c_str();  // the argument text ends at its first NUL
    RunOptions = RunOptionsRecord();
    ParseCommandLine(text.c_str());

    for (const char* path : {RunOptions.deletePath, RunOptions.installDir, RunOptions.logPath}) {
        size_t n = strnlen(path, kAnsiPathRoom);
        if (n >= (size_t)kAnsiPathRoom)
            __builtin_trap();
        if (n && text.find(path) == std::string::npos)
            __builtin_trap();  // a path must be a piece of the text, never a cut-down one
    }
    auto has = [&](const char* upper, const char* lower) {
        return text.find(upper) != std::string::npos || text.find(lower) != std::string::npos;
    };
    if ((RunOptions.flags & kFlagDelete) && !has("/D", "/d"))
        __builtin_trap();
    if ((RunOptions.flags & kFlagElevatedCopy) && !has("/E", "/e"))
        __builtin_trap();
    if ((RunOptions.flags & kFlagQuiet) && !has("/Q", "/q"))
        __builtin_trap();
    if ((RunOptions.flags & kFlagLog) && !has("/L", "/l"))
        __builtin_trap();
    if (RunOptions.flags & ~(uint32_t)(kFlagSilent | kFlagWait | kFlagDelete | kFlagElevatedCopy |
                                       kFlagQuiet | kFlagLog))
        __builtin_trap();
    return 0;
}
