#include "compress/gzcopy.h"

#include <windows.h>
#include <zlib.h>

#include <cstdio>
#include <memory>
#include <new>

#include "frame/handles.h"

namespace kiv {
namespace {

// Data moves between the two files in pieces of this size.
constexpr unsigned kPiece = 1024;
// Buffer sizes for the plain file's stream and for zlib's gzip file. The
// runtime's default 4 KiB stream buffer and zlib's 8 KiB buffer turn a
// large file into many small system calls; these keep the copy close to
// the speed of zlib itself without changing a byte of the output.
constexpr unsigned kStreamBuffer = 64 * 1024;
constexpr unsigned kGzBuffer = 64 * 1024;

// A plain file stream whose close result can be examined. A stream being
// written is flushed first: the runtime's close can report success even
// when writing out the last buffer failed.
class PlainFile {
 public:
  PlainFile(std::FILE* f, bool writing) : f_(f), writing_(writing) {}
  PlainFile(const PlainFile&) = delete;
  PlainFile& operator=(const PlainFile&) = delete;
  ~PlainFile() { close(); }
  explicit operator bool() const { return f_ != nullptr; }
  std::FILE* get() const { return f_; }
  bool close() {
    if (!f_) return true;
    std::FILE* f = f_;
    f_ = nullptr;
    bool ok = true;
    if (writing_) ok = std::fflush(f) == 0 && !std::ferror(f);
    return std::fclose(f) == 0 && ok;
  }

 private:
  std::FILE* f_;
  bool writing_;
};

// A gzip file whose close result can be examined.
class GzFile {
 public:
  explicit GzFile(gzFile f) : f_(f) {}
  GzFile(const GzFile&) = delete;
  GzFile& operator=(const GzFile&) = delete;
  ~GzFile() { close(); }
  explicit operator bool() const { return f_ != nullptr; }
  gzFile get() const { return f_; }
  int close() {
    if (!f_) return Z_OK;
    gzFile f = f_;
    f_ = nullptr;
    return gzclose(f);
  }

 private:
  gzFile f_;
};

// The stream buffer is owned here rather than by the runtime so that its
// size is what we ask for; it must outlive the stream, so the owner is
// declared before the PlainFile. Without memory the default buffer is kept.
std::unique_ptr<char[]> StreamBuffer() {
  return std::unique_ptr<char[]>(new (std::nothrow) char[kStreamBuffer]);
}

void UseStreamBuffer(std::FILE* f, char* buffer) {
  if (buffer) std::setvbuf(f, buffer, _IOFBF, kStreamBuffer);
}

bool FileIdentity(const char* path, BY_HANDLE_FILE_INFORMATION* info) {
  FileHandle h(CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
  return h && GetFileInformationByHandle(h.get(), info);
}

bool SameFullPath(const char* a, const char* b) {
  char fa[MAX_PATH], fb[MAX_PATH];
  const DWORD na = GetFullPathNameA(a, sizeof fa, fa, nullptr);
  const DWORD nb = GetFullPathNameA(b, sizeof fb, fb, nullptr);
  if (na == 0 || na >= sizeof fa || nb == 0 || nb >= sizeof fb) return false;
  return lstrcmpiA(fa, fb) == 0;
}

}  // namespace

bool SameExistingFile(const char* a, const char* b) {
  BY_HANDLE_FILE_INFORMATION ia{}, ib{};
  if (!FileIdentity(a, &ia) || !FileIdentity(b, &ib)) return false;
  if (ia.dwVolumeSerialNumber != ib.dwVolumeSerialNumber) return false;
  // A file system without file numbers reports zero for every file; the
  // paths then decide.
  if (ia.nFileIndexHigh == 0 && ia.nFileIndexLow == 0 && ib.nFileIndexHigh == 0 &&
      ib.nFileIndexLow == 0)
    return SameFullPath(a, b);
  return ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
}

bool CompressFile(const char* source, const char* destination, int level) {
  if (!source || !destination) return false;
  auto buffer = StreamBuffer();
  PlainFile in(std::fopen(source, "rb"), false);
  if (!in) return false;
  UseStreamBuffer(in.get(), buffer.get());
  // Opening the destination for writing would empty the source.
  if (SameExistingFile(source, destination)) return false;
  GzFile out(gzopen(destination, "wb"));
  if (!out) return false;
  gzbuffer(out.get(), kGzBuffer);
  gzsetparams(out.get(), level, Z_DEFAULT_STRATEGY);

  char piece[kPiece];
  for (;;) {
    const std::size_t n = std::fread(piece, 1, sizeof piece, in.get());
    if (n == 0) break;
    if (gzwrite(out.get(), piece, static_cast<unsigned>(n)) != static_cast<int>(n)) {
      in.close();
      out.close();
      return false;
    }
  }
  const bool readError = std::ferror(in.get()) != 0;
  // Closing writes the last compressed data and the trailer: a full disk
  // shows up here.
  const bool written = out.close() == Z_OK;
  const bool closed = in.close();
  return written && closed && !readError;
}

bool UncompressFile(const char* source, const char* destination) {
  if (!source || !destination) return false;
  // Opening the destination for writing would empty the source.
  if (SameExistingFile(source, destination)) return false;
  auto buffer = StreamBuffer();
  PlainFile out(std::fopen(destination, "wb"), true);
  if (!out) return false;
  UseStreamBuffer(out.get(), buffer.get());
  GzFile in(gzopen(source, "rb"));
  if (!in) return false;
  gzbuffer(in.get(), kGzBuffer);

  char piece[kPiece];
  unsigned long long total = 0;
  unsigned char first = 0;
  int n;
  while ((n = gzread(in.get(), piece, sizeof piece)) > 0) {
    if (total == 0) first = static_cast<unsigned char>(piece[0]);
    total += static_cast<unsigned>(n);
    if (std::fwrite(piece, static_cast<std::size_t>(n), 1, out.get()) != 1) {
      in.close();
      out.close();
      return false;
    }
  }
  // zlib ends a stream that stops early (inside the header, the data or the
  // trailer) like a complete one and only records the error.
  int err = Z_OK;
  gzerror(in.get(), &err);
  bool damaged = n < 0 || err != Z_OK;
  // A lone first byte of the gzip signature is a gzip file cut short after
  // one byte; zlib would pass it through as plain data.
  if (gzdirect(in.get()) && total == 1 && first == 0x1F) damaged = true;
  const bool read = in.close() == Z_OK;
  const bool closed = out.close();
  return !damaged && read && closed;
}

}  // namespace kiv
