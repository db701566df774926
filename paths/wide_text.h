// The program's own conversion between UTF-16, the system's text on the
// NT family, and the program's inner text, UTF-8 there.
//
// It is exact for every name a file system can hold: a surrogate without
// its partner is kept, encoded on its own as three bytes (as WTF-8 does),
// where the system's own UTF-8 conversion would put U+FFFD in its place.
// Neither direction ever cuts a character: a text that does not fit
// leaves out empty and gives -1.
#ifndef ERASER_WIDE_TEXT_H
#define ERASER_WIDE_TEXT_H

#include <stdint.h>

// wide: count units, or up to its NUL when count is -1. Returns the bytes
// written before the NUL.
int WideToInner(const uint16_t* wide, int count, char* out, int size);
// Returns the units written before the NUL; -1 also for bytes that no
// conversion of ours could have produced.
int InnerToWide(const char* inner, uint16_t* out, int size);

#endif
