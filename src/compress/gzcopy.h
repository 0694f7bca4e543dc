// Whole-file gzip compression and restoration on zlib's gzip file
// interface. Each routine opens both files, moves the data in 1024-byte
// pieces, closes them and reports whether everything succeeded; files it
// created stay behind after a failure.
#pragma once

namespace kiv {

// Compresses the plain file `source` into the gzip file `destination` at
// zlib level `level` (passed on unchecked; zlib refuses what it does not
// know, and the call then fails).
bool CompressFile(const char* source, const char* destination, int level);

// Restores the gzip file `source` into the plain file `destination`. A
// source that is not gzip data is copied unchanged. Damaged or truncated
// compressed data fails the call, after what could be restored was written.
bool UncompressFile(const char* source, const char* destination);

// True when both paths exist and name one and the same file, however they
// are spelled (case, separators, short names, relative paths, hard links).
bool SameExistingFile(const char* a, const char* b);

}  // namespace kiv
