// libtiff's own working memory (directories, strip and tile buffers, codec
// state) taken from the work memory, so that in the Windows modules every
// byte of an image load comes from the host's Buffer suite.
//
// The Windows modules link libtiff statically with
// -Wl,--wrap=_TIFFmalloc,--wrap=_TIFFcalloc,--wrap=_TIFFrealloc,--wrap=_TIFFfree:
// libtiff's calls of its four allocation functions then reach these. Debian's
// shared libtiff (native builds) binds its own calls inside the library and
// keeps the C runtime's heap, limited per block by the reader's open options.
//
// Each block carries its size in a header ahead of the caller's bytes, as
// reallocation must know how much to copy (the Buffer suite has no resize).
#pragma once
#include <tiffio.h>

extern "C" {
void* __wrap__TIFFmalloc(tmsize_t size);
void* __wrap__TIFFcalloc(tmsize_t count, tmsize_t size);
void* __wrap__TIFFrealloc(void* block, tmsize_t size);
void __wrap__TIFFfree(void* block);
}
