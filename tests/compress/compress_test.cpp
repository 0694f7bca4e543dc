// Gzip compression and restoration through the DLL's two exports.
#include <gtest/gtest.h>

#include <cctype>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "harness/boxes.h"
#include "harness/dll.h"
#include "harness/system.h"

using namespace kivtest;

namespace {

// Word-like text, compressible the way documents and scripts are.
std::string Text(std::size_t size, std::uint32_t seed = 1) {
  static const char* const words[] = {"setup ", "file ", "the ", "server ", "product ",
                                      "install ", "folder\r\n", "value=", "42 ", "client "};
  std::string s;
  s.reserve(size + 16);
  while (s.size() < size) {
    seed = seed * 1103515245u + 12345u;
    s += words[(seed >> 16) % 10];
  }
  s.resize(size);
  return s;
}

// Incompressible bytes, standing in for data that is already compressed.
std::string Noise(std::size_t size, std::uint32_t seed = 7) {
  std::string s(size, '\0');
  for (auto& c : s) {
    seed ^= seed << 13;
    seed ^= seed >> 17;
    seed ^= seed << 5;
    c = static_cast<char>(seed >> 24);
  }
  return s;
}

// Text, noise, structured binary and zero runs in pieces of varying size.
std::string Mixed(std::size_t size) {
  std::string s;
  s.reserve(size);
  std::uint32_t n = 0;
  while (s.size() < size) {
    const std::size_t piece = 4096 + (n * 7919u) % 200000;
    switch (n % 4) {
      case 0: s += Text(piece, n + 1); break;
      case 1: s += Noise(piece, n + 3); break;
      case 2:
        for (std::size_t i = 0; i < piece; i += 4) {
          const std::uint32_t v = static_cast<std::uint32_t>(i) * 3u;
          s.append(reinterpret_cast<const char*>(&v), 4);
        }
        break;
      default: s.append(piece, '\0'); break;
    }
    ++n;
  }
  s.resize(size);
  return s;
}

class Gzip : public ::testing::Test {
 protected:
  // Both exports return the caller's own destination pointer or null.
  const char* Compress(const std::string& source, const std::string& destination, int level) {
    return dll.CdeclText("QRVSetupCompressFile", source.c_str(), destination.c_str(), level);
  }
  const char* Uncompress(const std::string& source, const std::string& destination) {
    return dll.CdeclText("QRVSetupUncompressFile", source.c_str(), destination.c_str());
  }
  // Compresses and restores `data`, expecting success and the same bytes.
  void RoundTrip(const std::string& data, int level) {
    const std::string plain = dir / "plain.bin", packed = dir / "packed.gz",
                      restored = dir / "restored.bin";
    WriteFileBytes(plain, data);
    EXPECT_EQ(Compress(plain, packed, level), packed.c_str());
    const std::string gz = ReadFileBytes(packed);
    ASSERT_GE(gz.size(), 18u) << "header and trailer at least";
    EXPECT_EQ(gz.substr(0, 3), std::string("\x1f\x8b\x08", 3));
    EXPECT_EQ(Uncompress(packed, restored), restored.c_str());
    EXPECT_TRUE(ReadFileBytes(restored) == data) << "restored bytes differ";
  }

  KivDll dll;
  TempDir dir;
};

TEST_F(Gzip, ExportsSitAtTheirOrdinals) {
  EXPECT_EQ(dll.Proc("QRVSetupCompressFile"), dll.Proc(13));
  EXPECT_EQ(dll.Proc("QRVSetupUncompressFile"), dll.Proc(14));
  const std::string plain = dir / "a.txt", packed = dir / "a.gz", restored = dir / "b.txt";
  WriteFileBytes(plain, "ordinal");
  EXPECT_EQ(dll.CdeclOrdinal(13, plain.c_str(), packed.c_str(), 6), Arg(packed.c_str()));
  EXPECT_EQ(dll.CdeclOrdinal(14, packed.c_str(), restored.c_str()), Arg(restored.c_str()));
  EXPECT_EQ(ReadFileBytes(restored), "ordinal");
}

TEST_F(Gzip, RoundTripIsByteIdenticalAtEveryLevel) {
  const struct {
    const char* name;
    std::string data;
  } cases[] = {
      {"empty", ""},
      {"one byte", "x"},
      {"one piece", Text(1024)},
      {"three pieces", Noise(3 * 1024)},
      {"piece and one", Text(1025)},
      {"mixed, past the stream buffers", Mixed(300 * 1024 + 17)},
  };
  for (int level = -1; level <= 9; ++level) {
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(c.name) + " at level " + std::to_string(level));
      RoundTrip(c.data, level);
    }
  }
}

TEST_F(Gzip, LargeMixedFileRoundTrips) {
  RoundTrip(Mixed(40u << 20), -1);
}

TEST_F(Gzip, RestoringPlainDataCopiesItUnchanged) {
  const std::string cases[] = {
      "",
      "A",
      "plain text, not compressed\r\n",
      std::string("\x1f\x00 signature's first byte only", 30),
      Noise(5000),
  };
  const std::string source = dir / "plain.dat", restored = dir / "restored.dat";
  for (const auto& data : cases) {
    SCOPED_TRACE(testing::PrintToString(data.substr(0, 16)));
    WriteFileBytes(source, data);
    EXPECT_EQ(Uncompress(source, restored), restored.c_str());
    EXPECT_TRUE(ReadFileBytes(restored) == data);
  }
}

TEST_F(Gzip, FailuresLeaveOnlyWhatWasCreatedAndShowNothing) {
  BoxWatcher boxes;
  CursorRecorder cursors(dll.module());
  const std::string source = dir / "source.txt", missing = dir / "missing.txt";
  const std::string noFolder = dir / "no\\such\\folder.out";
  WriteFileBytes(source, Text(5000));

  // Missing source: compression creates nothing; restoration opens its
  // destination first, so an empty file stays behind.
  EXPECT_EQ(Compress(missing, dir / "c.gz", 6), nullptr);
  EXPECT_FALSE(FileExists(dir / "c.gz"));
  EXPECT_EQ(Uncompress(missing, dir / "u.txt"), nullptr);
  ASSERT_TRUE(FileExists(dir / "u.txt"));
  EXPECT_EQ(ReadFileBytes(dir / "u.txt"), "");

  // Destination folder missing, in both directions.
  EXPECT_EQ(Compress(source, noFolder, 6), nullptr);
  EXPECT_EQ(Uncompress(source, noFolder), nullptr);
  EXPECT_FALSE(FileExists(dir / "no"));

  // A destination held open without sharing by another program.
  const std::string busy = dir / "busy.out";
  WriteFileBytes(busy, "busy");
  {
    HANDLE h = CreateFileA(busy.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Compress(source, busy, 6), nullptr);
    EXPECT_EQ(Uncompress(source, busy), nullptr);
    CloseHandle(h);
  }
  EXPECT_EQ(ReadFileBytes(busy), "busy");

  // A folder where the destination file should be.
  CreateDirectoryA((dir / "folder.out").c_str(), nullptr);
  EXPECT_EQ(Compress(source, dir / "folder.out", 6), nullptr);
  EXPECT_EQ(Uncompress(source, dir / "folder.out"), nullptr);

  // Null paths are refused.
  EXPECT_EQ(dll.CdeclText("QRVSetupCompressFile", nullptr, (dir / "n.gz").c_str(), 6), nullptr);
  EXPECT_EQ(dll.CdeclText("QRVSetupCompressFile", source.c_str(), nullptr, 6), nullptr);
  EXPECT_EQ(dll.CdeclText("QRVSetupUncompressFile", nullptr, (dir / "n.txt").c_str()), nullptr);
  EXPECT_EQ(dll.CdeclText("QRVSetupUncompressFile", source.c_str(), nullptr), nullptr);
  EXPECT_FALSE(FileExists(dir / "n.gz"));
  EXPECT_FALSE(FileExists(dir / "n.txt"));

  // Every file was closed again: the source can be deleted.
  EXPECT_TRUE(DeleteFileA(source.c_str()));
  EXPECT_EQ(boxes.Count(), 0u);
  EXPECT_TRUE(cursors.NeverShown());
}

// Every way a compressed file can be damaged, tried on a small one: a cut at
// any length, or any bit pattern of any byte after the signature changed.
// Some header bits (text flag, time stamp, extra flags, system) and the
// padding after the last code carry no data, so a change there may restore
// correctly; a change must never restore as success with other bytes, and
// one in the trailer's CRC or length must always fail.
TEST_F(Gzip, DamagedCompressedDataIsNeverRestoredAsSuccess) {
  const std::string original = Text(3000) + Noise(200);
  const std::string plain = dir / "plain.txt", packed = dir / "packed.gz";
  const std::string damaged = dir / "damaged.gz", restored = dir / "restored.txt";
  WriteFileBytes(plain, original);
  ASSERT_EQ(Compress(plain, packed, 9), packed.c_str());
  const std::string gz = ReadFileBytes(packed);
  ASSERT_GT(gz.size(), 100u);

  for (std::size_t cut = 1; cut < gz.size(); ++cut) {
    SCOPED_TRACE("cut to " + std::to_string(cut) + " of " + std::to_string(gz.size()));
    WriteFileBytes(damaged, gz.substr(0, cut));
    EXPECT_EQ(Uncompress(damaged, restored), nullptr);
  }
  int refused = 0;
  for (std::size_t at = 2; at < gz.size(); ++at) {
    const bool trailer = at + 8 >= gz.size();
    SCOPED_TRACE("byte " + std::to_string(at) + " of " + std::to_string(gz.size()));
    for (unsigned char flip : {0x01, 0x80, 0xFF}) {
      std::string bad = gz;
      bad[at] = static_cast<char>(bad[at] ^ flip);
      WriteFileBytes(damaged, bad);
      const char* result = Uncompress(damaged, restored);
      if (trailer) {
        EXPECT_EQ(result, nullptr) << "flip " << int(flip) << " in the trailer";
      } else if (result) {
        EXPECT_TRUE(ReadFileBytes(restored) == original) << "flip " << int(flip);
      }
      refused += result == nullptr;
    }
  }
  // Header bytes 4 to 9 plus the text flag and padding bits: at most 20 changes go unnoticed.
  EXPECT_GE(refused, 3 * static_cast<int>(gz.size() - 2) - 20);
}

// Opening the destination for writing would empty the source, so a pair of
// paths naming one file is refused under every spelling, in both directions.
TEST_F(Gzip, SourceAndDestinationNamingOneFileAreRefused) {
  CreateDirectoryA((dir / "sub").c_str(), nullptr);
  const std::string name = "Packed Data File.gz";
  const std::string path = dir / name;
  WriteFileBytes(dir / "plain.txt", Text(4000));
  ASSERT_EQ(Compress(dir / "plain.txt", path, 6), path.c_str());
  const std::string content = ReadFileBytes(path);

  char shortName[MAX_PATH] = "";
  ASSERT_NE(GetShortPathNameA(path.c_str(), shortName, sizeof shortName), 0u);
  std::string upper = path, forward = path;
  for (auto& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  for (auto& c : forward) if (c == '\\') c = '/';
  const std::string hardLink = dir / "link.gz";
  ASSERT_TRUE(CreateHardLinkA(hardLink.c_str(), path.c_str(), nullptr));

  char cwd[MAX_PATH];
  GetCurrentDirectoryA(sizeof cwd, cwd);
  ASSERT_TRUE(SetCurrentDirectoryA(dir.path().c_str()));
  const std::string spellings[] = {path,       upper,   forward,  shortName,
                                   name,       ".\\" + name, dir / ("sub\\..\\" + name),
                                   hardLink};
  for (const auto& other : spellings) {
    SCOPED_TRACE(other);
    EXPECT_EQ(Compress(path, other, 6), nullptr);
    EXPECT_EQ(Compress(other, path, 6), nullptr);
    EXPECT_EQ(Uncompress(path, other), nullptr);
    EXPECT_EQ(Uncompress(other, path), nullptr);
    EXPECT_TRUE(ReadFileBytes(path) == content);
  }
  SetCurrentDirectoryA(cwd);
  // A different file in the same folder is still fine.
  const std::string other = dir / "other.txt";
  EXPECT_EQ(Uncompress(path, other), other.c_str());
}

// zlib 1.2.13 accepts the setting of any level before data is written, and
// then refuses to start compressing at one outside -1 to 9: the call fails
// and leaves the empty destination it created, with or without data to
// compress.
TEST_F(Gzip, LevelOutsideZlibRangeFailsWithAnEmptyDestination) {
  const std::string packed = dir / "packed.gz";
  for (const std::string& data : {std::string(), Text(5000)}) {
    WriteFileBytes(dir / "plain.txt", data);
    for (int level : {-2, 10, 100, INT_MIN, INT_MAX}) {
      SCOPED_TRACE("level " + std::to_string(level) + ", " + std::to_string(data.size()) + " bytes");
      EXPECT_EQ(Compress(dir / "plain.txt", packed, level), nullptr);
      ASSERT_TRUE(FileExists(packed));
      EXPECT_EQ(ReadFileBytes(packed), "");
    }
  }
}

// The set-up script links these two files to a device that is always full.
TEST_F(Gzip, FullDiskFailsTheCall) {
  const std::string fullGz = "C:\\full.gz", fullTxt = "C:\\full.txt";
  for (const auto& device : {fullGz, fullTxt}) {
    HANDLE h = CreateFileA(device.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << device << ": set-up script did not run";
    CloseHandle(h);
  }
  const std::string small = dir / "small.txt", large = dir / "large.bin";
  WriteFileBytes(small, Text(3000));
  WriteFileBytes(large, Noise(1u << 20));
  // All of a small file's output is written when the gzip file is closed.
  EXPECT_EQ(Compress(small, fullGz, 6), nullptr);
  EXPECT_EQ(Compress(large, fullGz, 6), nullptr);
  const std::string packed = dir / "small.gz";
  ASSERT_EQ(Compress(small, packed, 6), packed.c_str());
  EXPECT_EQ(Uncompress(packed, fullTxt), nullptr);
  EXPECT_EQ(Uncompress(large, fullTxt), nullptr);
}

// Leaves gzip files for the system's gzip to check and restores one that it
// made; run by gzip_tool.sh, which names the folder.
TEST(GzipTool, FilesForTheSystemGzip) {
  const char* unixDir = std::getenv("KIV_GZIP_DIR");
  if (!unixDir) GTEST_SKIP() << "run by gzip_tool.sh";
  std::string folder = std::string("Z:") + unixDir;
  for (auto& c : folder) if (c == '/') c = '\\';
  KivDll dll;
  const struct {
    const char* name;
    std::string data;
  } cases[] = {{"empty", ""}, {"one", "x"}, {"piece", Text(1024)}, {"pieces", Text(4096)},
               {"mixed", Mixed(3u << 20)}};
  for (int level : {-1, 0, 1, 6, 9}) {
    for (const auto& c : cases) {
      const std::string base = folder + "\\" + c.name + "_" + (level < 0 ? "m1" : std::to_string(level));
      WriteFileBytes(base + ".orig", c.data);
      const std::string gz = base + ".gz";
      EXPECT_EQ(dll.CdeclText("QRVSetupCompressFile", (base + ".orig").c_str(), gz.c_str(), level),
                gz.c_str());
    }
  }
  const std::string sys = folder + "\\system";
  ASSERT_TRUE(FileExists(sys + ".in.gz")) << "made by the system's gzip";
  const std::string out = sys + ".restored";
  EXPECT_EQ(dll.CdeclText("QRVSetupUncompressFile", (sys + ".in.gz").c_str(), out.c_str()), out.c_str());
  EXPECT_TRUE(ReadFileBytes(out) == ReadFileBytes(sys + ".orig"));
}

}  // namespace
