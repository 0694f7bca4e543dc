#include "frame/file.h"

namespace kiv {

bool File::Open(const char* path, unsigned mode, FileError* error) {
  handle_.reset();
  const DWORD access = (mode & kWrite) ? GENERIC_WRITE : GENERIC_READ;
  DWORD disposition = OPEN_EXISTING;
  if (mode & kCreate) disposition = (mode & kNoTruncate) ? OPEN_ALWAYS : CREATE_ALWAYS;
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  HANDLE h = CreateFileA(path, access, 0, &sa, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD code = GetLastError();
    if (error) *error = FileError(FileError::Step::Open, code);
    return false;
  }
  handle_.reset(h);
  return true;
}

void File::SeekToEnd() {
  // SetFilePointer rather than its 64-bit form, which the oldest supported
  // systems lack. Its all-ones result is only a failure when an error is set.
  LONG high = 0;
  SetLastError(NO_ERROR);
  if (SetFilePointer(handle_.get(), 0, &high, FILE_END) == INVALID_SET_FILE_POINTER) {
    const DWORD code = GetLastError();
    if (code != NO_ERROR) throw FileError(FileError::Step::Seek, code);
  }
}

void File::Write(const void* data, std::size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    const DWORD chunk = size > 0x10000000u ? 0x10000000u : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(handle_.get(), p, chunk, &written, nullptr))
      throw FileError(FileError::Step::Write, GetLastError());
    if (written == 0) throw FileError(FileError::Step::Write, ERROR_WRITE_FAULT);
    p += written;
    size -= written;
  }
}

void File::Close() {
  if (!handle_.close()) throw FileError(FileError::Step::Close, GetLastError());
}

}  // namespace kiv
