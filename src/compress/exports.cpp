// Exports of the gzip file compression: the result is the caller's own
// destination pointer on success and null on any failure.
#include "compress/gzcopy.h"
#include "frame/export.h"

KIV_CDECL(const char*) QRVSetupCompressFile(const char* source, const char* destination,
                                            int level) {
  return kiv::Guarded<const char*>(nullptr, [&]() -> const char* {
    return kiv::CompressFile(source, destination, level) ? destination : nullptr;
  });
}

KIV_CDECL(const char*) QRVSetupUncompressFile(const char* source, const char* destination) {
  return kiv::Guarded<const char*>(nullptr, [&]() -> const char* {
    return kiv::UncompressFile(source, destination) ? destination : nullptr;
  });
}
