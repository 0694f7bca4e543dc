#include "portable/postinstall.h"

#include <cstring>

namespace kiv {

bool FileInFolder(char* dst, std::size_t cap, const char* folder, const char* name,
                  mb::LeadByteFn lead) {
  if (cap == 0) return false;
  dst[0] = '\0';
  std::size_t len = std::strlen(folder);
  if (len >= cap) return false;
  std::memcpy(dst, folder, len + 1);
  mb::DropTrailingBackslash(dst, lead);
  len = std::strlen(dst);
  const std::size_t nameLen = std::strlen(name);
  if (len + 1 + nameLen >= cap) {
    dst[0] = '\0';
    return false;
  }
  dst[len] = '\\';
  std::memcpy(dst + len + 1, name, nameLen + 1);
  return true;
}

std::string SilentImportParameters(const char* path, mb::LeadByteFn lead) {
  std::string params = "/s /i ";
  if (mb::FindFirst(path, ' ', lead) != nullptr) {
    params += '"';
    params += path;
    params += '"';
  } else {
    params += path;
  }
  return params;
}

}  // namespace kiv
