// Any byte string as a path, under code page 932 or a single-byte one: at
// most one separator is added or removed, a cut never leaves half a
// character, and nothing grows past the buffer.
#include <string.h>

#include <string>

#include "paths/text.h"
#include "paths/wide_text.h"
#include "tests/fake_system.h"

static bool Lead(unsigned char c, bool dbcs)
{
    return dbcs && ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC));
}

// True when pos is the start of a character of text.
static bool Boundary(const std::string& text, size_t pos, bool dbcs)
{
    size_t i = 0;
    while (i < pos)
        i += (Lead((unsigned char)text[i], dbcs) && i + 1 < text.size()) ? 2 : 1;
    return i == pos;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    bool dbcs = data[0] & 1;
    FakeReset();
    Fake.codePage = dbcs ? 932 : 1252;
    LearnLeadBytes();
    std::string path((const char*)data + 1, size - 1);
    path = path.c_str();
    if (path.size() > kAnsiPathRoom - 1)
        path.resize(kAnsiPathRoom - 1);

    char buf[kPathSize + 16];
    memset(buf, 0x7F, sizeof buf);
    for (int mode : {kAddSeparator, kStripSeparator}) {
        strcpy(buf, path.c_str());
        FixTrailingSeparator(buf, mode);
        std::string out = buf;
        if (buf[kAnsiPathRoom] != 0x7F || out.size() > kAnsiPathRoom - 1)
            __builtin_trap();
        if (mode == kAddSeparator &&
            !(out == path || (out == path + "\\" && path.size() >= 2)))
            __builtin_trap();
        if (mode == kStripSeparator &&
            !(out == path || (out + "\\" == path && Boundary(path, out.size(), dbcs))))
            __builtin_trap();
        if (mode == kAddSeparator && out != path && path.size() >= 2 && EndsInSeparator(path.c_str()))
            __builtin_trap();
    }

    strcpy(buf, path.c_str());
    CutLastComponent(buf);
    std::string cut = buf;
    if (path.compare(0, cut.size(), cut) != 0 || (!path.empty() && cut.size() >= path.size()))
        __builtin_trap();
    if (!Boundary(path, cut.size(), dbcs))
        __builtin_trap();  // half a character left behind
    if (!cut.empty() && path[cut.size()] != '\\')
        __builtin_trap();  // a cut ends at a real separator

    // The same bytes as UTF-16 units come back unchanged through the inner
    // text; as inner text, they are refused or come back unchanged.
    uint16_t wide[kPathSize], back[kPathSize];
    int units = 0;
    for (size_t i = 1; i + 1 < size && units < kPathSize - 1; i += 2) {
        uint16_t unit = (uint16_t)(data[i] | data[i + 1] << 8);
        wide[units++] = unit ? unit : 1;
    }
    wide[units] = 0;
    char inner[3 * kPathSize + 1];
    if (WideToInner(wide, -1, inner, sizeof inner) < 0 || InnerToWide(inner, back, kPathSize) != units ||
        memcmp(wide, back, units * sizeof *wide) != 0)
        __builtin_trap();
    int n = InnerToWide(path.c_str(), back, kPathSize);
    if (n >= 0 && (WideToInner(back, -1, inner, sizeof inner) < 0 || path != inner))
        __builtin_trap();
    return 0;
}
