#include "paths/wide_text.h"

static int IsLead(uint32_t unit) { return unit >= 0xD800 && unit < 0xDC00; }
static int IsTrail(uint32_t unit) { return unit >= 0xDC00 && unit < 0xE000; }

int WideToInner(const uint16_t* wide, int count, char* out, int size)
{
    int n = 0;
    for (int i = 0; count < 0 ? wide[i] != 0 : i < count; i++) {
        uint32_t c = wide[i];
        if (IsLead(c) && (count < 0 || i + 1 < count) && IsTrail(wide[i + 1]))
            c = 0x10000 + ((c - 0xD800) << 10) + (wide[++i] - 0xDC00);
        int length = c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
        if (n + length >= size) {
            if (size > 0)
                out[0] = 0;
            return -1;
        }
        if (length == 1) {
            out[n++] = (char)c;
            continue;
        }
        // The first byte: as many high bits as bytes, then the top bits.
        static const unsigned char kFirstMark[] = {0, 0, 0xC0, 0xE0, 0xF0};
        out[n] = (char)(kFirstMark[length] | (c >> (6 * (length - 1))));
        for (int k = 1; k < length; k++)
            out[n + k] = (char)(0x80 | ((c >> (6 * (length - 1 - k))) & 0x3F));
        n += length;
    }
    if (size > 0)
        out[n] = 0;
    return size > 0 ? n : -1;
}

int InnerToWide(const char* inner, uint16_t* out, int size)
{
    const unsigned char* s = (const unsigned char*)inner;
    int n = 0;
    while (*s) {
        uint32_t c = *s++;
        int more = c < 0x80 ? 0 : c >= 0xC2 && c < 0xE0 ? 1 : c >= 0xE0 && c < 0xF0 ? 2
                                : c >= 0xF0 && c < 0xF5 ? 3 : -1;
        if (more > 0)
            c &= 0x3F >> more;
        for (int k = 0; k < more && more > 0; k++) {
            if ((*s & 0xC0) != 0x80) {
                more = -1;
                break;
            }
            c = (c << 6) | (*s++ & 0x3F);
        }
        // No longer form than needed, nothing beyond U+10FFFF.
        static const uint32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
        int units = c < 0x10000 ? 1 : 2;
        // A pair is one four-byte character, never two halves of three.
        int splitPair = more == 2 && IsTrail(c) && n > 0 && IsLead(out[n - 1]);
        if (more < 0 || c < kLeast[more] || c > 0x10FFFF || splitPair || n + units >= size) {
            if (size > 0)
                out[0] = 0;
            return -1;
        }
        if (units == 2) {
            out[n++] = (uint16_t)(0xD800 + ((c - 0x10000) >> 10));
            c = 0xDC00 + ((c - 0x10000) & 0x3FF);
        }
        out[n++] = (uint16_t)c;
    }
    if (size <= 0)
        return -1;
    out[n] = 0;
    return n;
}
