// Throughput of QRVSetupCompressFile and QRVSetupUncompressFile against the
// streaming limit of the same job: plain zlib deflate()/inflate() with a gzip
// wrapper between two files with 256 KiB stdio buffers and no gzip-file
// layer, measured in the same run, on the same data, by the same build.
// Also checks that the export's compressed bytes after the 10-byte header
// equal a one-shot in-memory deflate at the same level.
//
// Usage: compress_bench.exe [MiB per data set, default 32] [repetitions, default 3]
//        [restore: measure restoring only]
#include <windows.h>

#include "common/clock.h"
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using CompressFn = const char*(__cdecl*)(const char*, const char*, int);
using UncompressFn = const char*(__cdecl*)(const char*, const char*);

constexpr std::size_t kStdioBuffer = 256 * 1024;
constexpr std::size_t kChunk = 256 * 1024;

using kivbench::Now;

std::uint32_t g_seed = 12345;
std::uint32_t Rand() {
  g_seed ^= g_seed << 13;
  g_seed ^= g_seed >> 17;
  g_seed ^= g_seed << 5;
  return g_seed;
}

// A vocabulary of a few thousand made-up words, drawn with a skew towards
// the common ones, in lines with numbers and punctuation: compresses about
// as well as prose or scripts do.
const std::vector<std::string>& Vocabulary() {
  static const std::vector<std::string> words = [] {
    static const char* const syllables[] = {"in", "stal", "ser", "ver", "cli", "ent", "reg",
                                            "is", "try", "pro", "duct", "fol", "der", "sync",
                                            "net", "work", "ma", "chine", "da", "ta", "con",
                                            "fig", "ure", "de", "pen", "dent", "ro", "am"};
    std::vector<std::string> v;
    for (int i = 0; i < 4000; ++i) {
      std::string w;
      const int n = 1 + static_cast<int>(Rand() % 4);
      for (int k = 0; k < n; ++k) w += syllables[Rand() % (sizeof syllables / sizeof *syllables)];
      v.push_back(w);
    }
    return v;
  }();
  return words;
}

void AppendText(std::string& s, std::size_t size) {
  const auto& words = Vocabulary();
  const std::size_t end = s.size() + size;
  while (s.size() < end) {
    const std::uint32_t r = Rand();
    // Squaring a uniform pick favours the front of the vocabulary.
    const std::uint32_t u = (r >> 8) % 4000;
    s += words[u * u / 4000];
    if (r % 29 == 0) {
      char num[16];
      std::snprintf(num, sizeof num, " %u", r % 100000);
      s += num;
    }
    s += r % 13 == 0 ? ".\r\n" : r % 7 == 0 ? ", " : " ";
  }
  s.resize(end);
}

void AppendBinary(std::string& s, std::size_t size) {
  // Tables of small records: repeated structure, varying numbers.
  const std::size_t end = s.size() + size;
  std::uint32_t id = 0;
  while (s.size() < end) {
    const std::uint32_t rec[4] = {id++, 0x00400000u + (Rand() % 4096) * 16, Rand() % 256, 0};
    s.append(reinterpret_cast<const char*>(rec), sizeof rec);
  }
  s.resize(end);
}

void AppendCompressed(std::string& s, std::size_t size) {
  // Deflate output of text: what an archive or image already holds.
  std::string text;
  AppendText(text, size * 3);
  uLongf n = compressBound(static_cast<uLong>(text.size()));
  std::vector<Bytef> out(n);
  compress2(out.data(), &n, reinterpret_cast<const Bytef*>(text.data()),
            static_cast<uLong>(text.size()), 9);
  s.append(reinterpret_cast<const char*>(out.data()), n < size ? n : size);
}

std::string TextData(std::size_t size) {
  std::string s;
  s.reserve(size);
  AppendText(s, size);
  return s;
}

std::string MixedData(std::size_t size) {
  std::string s;
  s.reserve(size + kChunk * 8);
  while (s.size() < size) {
    const std::size_t piece = 64 * 1024 + Rand() % (512 * 1024);
    switch (Rand() % 3) {
      case 0: AppendText(s, piece); break;
      case 1: AppendBinary(s, piece); break;
      default: AppendCompressed(s, piece); break;
    }
  }
  s.resize(size);
  return s;
}

bool WriteAll(const std::string& path, const std::string& data) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
  return std::fclose(f) == 0 && ok;
}

std::string ReadAll(const std::string& path) {
  std::string data;
  if (FILE* f = std::fopen(path.c_str(), "rb")) {
    std::vector<char> buf(kChunk);
    for (std::size_t n; (n = std::fread(buf.data(), 1, buf.size(), f)) > 0;) data.append(buf.data(), n);
    std::fclose(f);
  }
  return data;
}

// Opens both files with large stdio buffers; the buffers outlive the files.
struct StreamPair {
  std::vector<char> inBuf = std::vector<char>(kStdioBuffer), outBuf = std::vector<char>(kStdioBuffer);
  FILE* in = nullptr;
  FILE* out = nullptr;
  StreamPair(const std::string& from, const std::string& to) {
    in = std::fopen(from.c_str(), "rb");
    out = std::fopen(to.c_str(), "wb");
    if (in) std::setvbuf(in, inBuf.data(), _IOFBF, kStdioBuffer);
    if (out) std::setvbuf(out, outBuf.data(), _IOFBF, kStdioBuffer);
  }
  bool ok() const { return in && out; }
  bool Close() {
    bool good = true;
    if (in) good = std::fclose(in) == 0 && good;
    if (out) good = std::fclose(out) == 0 && good;
    in = out = nullptr;
    return good;
  }
  ~StreamPair() { Close(); }
};

// The streaming limit: deflate with a gzip wrapper from file to file.
bool PlainDeflate(const std::string& from, const std::string& to, int level) {
  StreamPair f(from, to);
  if (!f.ok()) return false;
  z_stream z{};
  if (deflateInit2(&z, level, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK) return false;
  std::vector<Bytef> in(kChunk), out(kChunk);
  int flush;
  bool ok = true;
  do {
    const std::size_t n = std::fread(in.data(), 1, in.size(), f.in);
    flush = n < in.size() ? Z_FINISH : Z_NO_FLUSH;
    z.next_in = in.data();
    z.avail_in = static_cast<uInt>(n);
    do {
      z.next_out = out.data();
      z.avail_out = static_cast<uInt>(out.size());
      deflate(&z, flush);
      const std::size_t have = out.size() - z.avail_out;
      if (have && std::fwrite(out.data(), 1, have, f.out) != have) ok = false;
    } while (z.avail_out == 0);
  } while (flush != Z_FINISH && ok);
  deflateEnd(&z);
  return f.Close() && ok;
}

bool PlainInflate(const std::string& from, const std::string& to) {
  StreamPair f(from, to);
  if (!f.ok()) return false;
  z_stream z{};
  if (inflateInit2(&z, 15 + 16) != Z_OK) return false;
  std::vector<Bytef> in(kChunk), out(kChunk);
  int ret = Z_OK;
  bool ok = true;
  while (ret != Z_STREAM_END && ok) {
    const std::size_t n = std::fread(in.data(), 1, in.size(), f.in);
    if (n == 0) { ok = false; break; }
    z.next_in = in.data();
    z.avail_in = static_cast<uInt>(n);
    do {
      z.next_out = out.data();
      z.avail_out = static_cast<uInt>(out.size());
      ret = inflate(&z, Z_NO_FLUSH);
      if (ret != Z_OK && ret != Z_STREAM_END) { ok = false; break; }
      const std::size_t have = out.size() - z.avail_out;
      if (have && std::fwrite(out.data(), 1, have, f.out) != have) ok = false;
    } while (z.avail_out == 0 && ret != Z_STREAM_END);
  }
  inflateEnd(&z);
  return f.Close() && ok;
}

// One-shot in-memory deflate with the gzip wrapper, as the export's
// gzip file interface would produce it.
std::string OneShot(const std::string& data, int level) {
  z_stream z{};
  deflateInit2(&z, level, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&z, static_cast<uLong>(data.size())), '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(&out[0]);
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

// Processor time (user and system) of this process: other programs on a
// shared machine do not count against it, as they do against wall time.
double CpuNow() {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  auto seconds = [](const FILETIME& f) {
    return static_cast<double>((static_cast<std::uint64_t>(f.dwHighDateTime) << 32) | f.dwLowDateTime) / 1e7;
  };
  return seconds(kernel) + seconds(user);
}

// Processor time is counted in ticks of the system clock (10 ms here), too
// coarse for one run: it is summed over all runs and averaged. Wall time is
// the best run.
struct Times {
  double cpu = 0, wall = 1e30;
  int runs = 0;
  double Cpu() const { return cpu / runs; }
};

// `reps` runs of each, interleaved; the output is deleted before every run.
template <class A, class B>
bool Measure(int reps, const std::string& output, A exportRun, B plainRun, Times* exportTime,
             Times* plainTime) {
  auto once = [&](auto& run, Times* best) {
    DeleteFileA(output.c_str());
    const double c = CpuNow(), w = Now();
    if (!run()) return false;
    const double wall = Now() - w, cpu = CpuNow() - c;
    best->cpu += cpu;
    ++best->runs;
    if (wall < best->wall) best->wall = wall;
    return true;
  };
  for (int r = 0; r < reps; ++r)
    if (!once(exportRun, exportTime) || !once(plainRun, plainTime)) return false;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const std::size_t mib = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 32;
  const int reps = argc > 2 ? std::atoi(argv[2]) : 3;
  const bool restoreOnly = argc > 3 && std::strcmp(argv[3], "restore") == 0;
  if (mib == 0 || reps <= 0) {
    std::fprintf(stderr, "usage: compress_bench [MiB per data set] [repetitions]\n");
    return 2;
  }
  char exe[MAX_PATH];
  GetModuleFileNameA(nullptr, exe, sizeof exe);
  std::string dllPath = exe;
  dllPath = dllPath.substr(0, dllPath.find_last_of('\\') + 1) + "KIVSETUP.DLL";
  HMODULE dll = LoadLibraryA(dllPath.c_str());
  if (!dll) {
    std::fprintf(stderr, "cannot load %s\n", dllPath.c_str());
    return 1;
  }
  auto compressFile = reinterpret_cast<CompressFn>(reinterpret_cast<void*>(GetProcAddress(dll, "QRVSetupCompressFile")));
  auto uncompressFile = reinterpret_cast<UncompressFn>(
      reinterpret_cast<void*>(GetProcAddress(dll, "QRVSetupUncompressFile")));
  if (!compressFile || !uncompressFile) return 1;

  // KIV_BENCH_DIR names the folder for the data files (a memory file
  // system keeps disk write-back out of the figures); the temp folder
  // otherwise.
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  std::string work = std::string(temp) + "kivbench";
  char chosen[MAX_PATH];
  const DWORD n = GetEnvironmentVariableA("KIV_BENCH_DIR", chosen, sizeof chosen);
  if (n > 0 && n < sizeof chosen) work = chosen;
  CreateDirectoryA(work.c_str(), nullptr);
  const std::string src = work + "\\data.bin", gz = work + "\\data.gz",
                    plainGz = work + "\\plain.gz", restored = work + "\\restored.bin";

  std::printf("zlib %s, %u MiB per data set, %d runs of each (restoring: five times as many), files in %s\n"
              "throughput: MiB of plain data per second of processor time (mean of the runs);\n"
              "ratio: export/zlib by processor time, and by the best wall time for reference\n",
              zlibVersion(), static_cast<unsigned>(mib), reps, work.c_str());
  std::printf("%-6s %-8s %10s %10s %7s %7s  %s\n", "data", "job", "export", "zlib", "ratio", "wall",
              "check");
  bool allGood = true;
  double worstCompress = 1e9, worstRestore = 1e9;
  const std::size_t size = mib << 20;
  for (int set = 0; set < 2; ++set) {
    const char* name = set == 0 ? "text" : "mixed";
    const std::string data = set == 0 ? TextData(size) : MixedData(size);
    if (!WriteAll(src, data)) return 1;
    const double mb = static_cast<double>(data.size()) / (1 << 20);
    for (int level : {1, 6, 9}) {
      if (restoreOnly) break;
      Times te, tp;
      const bool ran = Measure(
          reps, gz, [&] { return compressFile(src.c_str(), gz.c_str(), level) != nullptr; },
          [&] { return PlainDeflate(src, gz, level); }, &te, &tp);
      if (!ran) { std::printf("%s level %d: run failed\n", name, level); return 1; }
      // The last run left the plain deflate's file; make the export's again.
      DeleteFileA(gz.c_str());
      if (!compressFile(src.c_str(), gz.c_str(), level)) return 1;
      const std::string got = ReadAll(gz), want = OneShot(data, level);
      const bool same = got.size() > 10 && got.compare(10, std::string::npos, want, 10, std::string::npos) == 0;
      allGood = allGood && same;
      const double ratio = tp.Cpu() / te.Cpu();
      if (ratio < worstCompress) worstCompress = ratio;
      std::printf("%-6s level %d %10.1f %10.1f %6.1f%% %6.1f%%  %s (%.1f%% of size)\n", name, level,
                  mb / te.Cpu(), mb / tp.Cpu(), 100 * ratio, 100 * tp.wall / te.wall,
                  same ? "same bytes" : "DIFFERENT", 100.0 * got.size() / data.size());
      std::fflush(stdout);
    }
    // Restore the export's default-level file.
    DeleteFileA(gz.c_str());
    if (!compressFile(src.c_str(), gz.c_str(), 6)) return 1;
    // Restoring is fast: more runs keep the clock's ticks out of the ratio.
    Times te, tp;
    if (!Measure(reps * 5, restored, [&] { return uncompressFile(gz.c_str(), restored.c_str()) != nullptr; },
                 [&] { return PlainInflate(gz, restored); }, &te, &tp))
      return 1;
    DeleteFileA(restored.c_str());
    const bool same = uncompressFile(gz.c_str(), restored.c_str()) && ReadAll(restored) == data;
    allGood = allGood && same;
    const double ratio = tp.Cpu() / te.Cpu();
    if (ratio < worstRestore) worstRestore = ratio;
    std::printf("%-6s restore  %10.1f %10.1f %6.1f%% %6.1f%%  %s\n", name, mb / te.Cpu(), mb / tp.Cpu(),
                100 * ratio, 100 * tp.wall / te.wall, same ? "restored exactly" : "RESTORED WRONG");
    std::fflush(stdout);
  }
  DeleteFileA(src.c_str());
  DeleteFileA(gz.c_str());
  DeleteFileA(restored.c_str());
  RemoveDirectoryA(work.c_str());
  if (!restoreOnly) std::printf("lowest compression ratio %.1f%% (goal 97%%)\n", 100 * worstCompress);
  std::printf("lowest restoring ratio %.1f%% (goal 95%%); checks %s\n", 100 * worstRestore,
              allGood ? "passed" : "FAILED");
  FreeLibrary(dll);
  return allGood ? 0 : 1;
}
