// A small file object for the logs: open reports failure through a result
// and an optional error record; once open, a failing seek, write or close
// raises FileError. The destructor closes quietly.
#pragma once
#include <windows.h>

#include <cstddef>
#include <exception>

#include "frame/handles.h"

namespace kiv {

class FileError : public std::exception {
 public:
  enum class Step { Open, Seek, Write, Close };
  FileError() = default;
  FileError(Step step, DWORD code) : step_(step), code_(code) {}
  Step step() const { return step_; }
  DWORD code() const { return code_; }
  const char* what() const noexcept override { return "file operation failed"; }

 private:
  Step step_ = Step::Open;
  DWORD code_ = 0;
};

class File {
 public:
  // Open modes, combinable.
  enum Mode : unsigned {
    kWrite = 0x0001,
    kCreate = 0x1000,      // create when missing
    kNoTruncate = 0x2000,  // with kCreate: keep an existing file's content
  };

  File() = default;
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  ~File() = default;

  // Opens without sharing and with an inheritable handle. On failure returns
  // false and, when error is given, records the failing step and code there.
  bool Open(const char* path, unsigned mode, FileError* error);
  bool IsOpen() const { return static_cast<bool>(handle_); }

  void SeekToEnd();
  // Writes all size bytes or raises.
  void Write(const void* data, std::size_t size);
  void Close();

 private:
  FileHandle handle_;
};

}  // namespace kiv
