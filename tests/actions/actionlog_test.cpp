#include <ctime>
#include <regex>

#include "actions.h"

using namespace kivtest;

namespace {

std::string Stamp() {
  const std::time_t now = std::time(nullptr);
  char text[128] = "";
  std::strftime(text, sizeof text, "%a %b %d %I:%M %p %Y", std::localtime(&now));
  return text;
}

// A temporary folder with Setup.ini whose InstallActionLog names setup.log.
struct LogFixture {
  TempDir dir;
  std::string ini = dir / "Setup.ini";
  std::string log = dir / "setup.log";
  LogFixture() { WriteIni(ini, "InstallActionLog", log); }

  // Calls the export with "<ini>|<message>" and checks that exactly one line
  // with that message was appended to what the log held.
  void ExpectLogged(const KivDll& dll, const std::string& message) {
    const std::string before = ReadFileBytes(log);
    const std::string param = ini + "|" + message;
    CallBlock block;
    block.param = param.c_str();
    const std::string early = Stamp();
    EXPECT_EQ(dll.Std("TqSetupAddActionLog", &block), 0u);
    const std::string late = Stamp();
    const std::string after = ReadFileBytes(log);
    ASSERT_EQ(after.compare(0, before.size(), before), 0) << "existing content changed";
    const std::string line = after.substr(before.size());
    EXPECT_TRUE(line == early + " : " + message + "\r\n" || line == late + " : " + message + "\r\n")
        << "line: [" << line << "]";
  }
};

}  // namespace

TEST(ActionLog, AppendsOneExactLinePerCall) {
  KivDll dll;
  LogFixture f;
  CursorRecorder cursors(dll.module());
  // The log does not exist yet: it is created with exactly one line.
  f.ExpectLogged(dll, "Files copied");
  EXPECT_TRUE(cursors.ShownAndRestored());
  EXPECT_TRUE(std::regex_match(ReadFileBytes(f.log),
                               std::regex("(Mon|Tue|Wed|Thu|Fri|Sat|Sun) "
                                          "(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) "
                                          "[0-3][0-9] (0[1-9]|1[0-2]):[0-5][0-9] (AM|PM) "
                                          "[0-9]{4} : Files copied\r\n")));
  // Further bars belong to the message; an empty message and one with line
  // breaks are written as they stand.
  f.ExpectLogged(dll, "step|two|three");
  f.ExpectLogged(dll, "");
  f.ExpectLogged(dll, "first\r\nsecond");
  // The ordinal reaches the same export.
  const std::string param = f.ini + "|by ordinal";
  CallBlock block;
  block.param = param.c_str();
  EXPECT_EQ(dll.StdOrdinal(110, &block), 0u);
  EXPECT_NE(ReadFileBytes(f.log).find(" : by ordinal\r\n"), std::string::npos);
}

TEST(ActionLog, KeepsWhatTheLogHeld) {
  KivDll dll;
  LogFixture f;
  // Content without a final line break, and a zero byte inside it.
  WriteFileBytes(f.log, std::string("written by someone else\0x", 25));
  f.ExpectLogged(dll, "Next step");
}

TEST(ActionLog, NothingToLog) {
  KivDll dll;
  LogFixture f;
  const std::string noSection = f.dir / "NoSection.ini";
  WriteIni(noSection, "InstallActionLog", f.log, "Other");
  const std::string emptyKey = f.dir / "EmptyKey.ini";
  WriteIni(emptyKey, "InstallActionLog", "");
  const std::string noBar = f.ini + " Files copied";
  const std::string emptyIni = "|Files copied";
  const std::string missingIni = f.dir / "Missing.ini|Files copied";
  const std::string sectionless = noSection + "|Files copied";
  const std::string keyless = emptyKey + "|Files copied";
  struct Case {
    const char* what;
    bool block;
    const char* param;
    DWORD result;
  } cases[] = {
      {"no block", false, nullptr, 1},
      {"no parameter string", true, nullptr, 1},
      {"no bar", true, noBar.c_str(), 1},
      {"empty INI path", true, emptyIni.c_str(), 0},
      {"INI file missing", true, missingIni.c_str(), 0},
      {"no Configuration section", true, sectionless.c_str(), 0},
      {"empty InstallActionLog", true, keyless.c_str(), 0},
  };
  BoxWatcher boxes;
  for (const Case& c : cases) {
    CursorRecorder cursors(dll.module());
    CallBlock block;
    block.param = c.param;
    EXPECT_EQ(dll.Std("TqSetupAddActionLog", c.block ? &block : nullptr), c.result) << c.what;
    EXPECT_FALSE(FileExists(f.log)) << c.what;
    if (c.param == nullptr) EXPECT_TRUE(cursors.NeverShown()) << c.what;
    else EXPECT_TRUE(cursors.ShownAndRestored()) << c.what;
  }
  EXPECT_EQ(boxes.Count(), 0u);
}

TEST(ActionLog, LogHeldOpenByAnotherWriterLosesTheLineSilently) {
  KivDll dll;
  LogFixture f;
  f.ExpectLogged(dll, "before");
  const std::string held = ReadFileBytes(f.log);
  {
    HANDLE other = CreateFileA(f.log.c_str(), GENERIC_READ | GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    BoxWatcher boxes;
    const std::string param = f.ini + "|while held";
    CallBlock block;
    block.param = param.c_str();
    EXPECT_EQ(dll.Std("TqSetupAddActionLog", &block), 0u);
    EXPECT_EQ(boxes.Count(), 0u);
    CloseHandle(other);
  }
  EXPECT_EQ(ReadFileBytes(f.log), held);
  f.ExpectLogged(dll, "after");
}

TEST(ActionLog, OverlongParameterIsCutInsideTheWorkingCopy) {
  KivDll dll;
  LogFixture f;
  // 519 characters reach the log whole; beyond that the message is cut so
  // that path, bar and message keep to 519 characters.
  const std::size_t room = 519 - f.ini.size() - 1;
  f.ExpectLogged(dll, std::string(room, 'm'));
  const std::string before = ReadFileBytes(f.log);
  const std::string param = f.ini + "|" + std::string(room, 'n') + std::string(3000, 'z');
  CallBlock block;
  block.param = param.c_str();
  EXPECT_EQ(dll.Std("TqSetupAddActionLog", &block), 0u);
  const std::string added = ReadFileBytes(f.log).substr(before.size());
  EXPECT_NE(added.find(" : " + std::string(room, 'n') + "\r\n"), std::string::npos) << added;
  // A bar beyond the working copy is not found.
  const std::string late = std::string(600, 'p') + "|" + f.ini;
  block.param = late.c_str();
  EXPECT_EQ(dll.Std("TqSetupAddActionLog", &block), 1u);
}

namespace {
// Failures that a real disk only shows when it is full or goes away.
DWORD WINAPI FailSeek(HANDLE, LONG, PLONG, DWORD) {
  SetLastError(ERROR_SEEK);
  return INVALID_SET_FILE_POINTER;
}
BOOL WINAPI FailWrite(HANDLE, LPCVOID, DWORD, LPDWORD written, LPOVERLAPPED) {
  if (written) *written = 0;
  SetLastError(ERROR_DISK_FULL);
  return FALSE;
}
BOOL WINAPI ShortWrite(HANDLE h, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED) {
  // Writes one byte per call, as a device short of room might.
  return WriteFile(h, data, size > 0 ? 1 : 0, written, nullptr);
}
BOOL WINAPI FailClose(HANDLE h) {
  CloseHandle(h);
  SetLastError(ERROR_DISK_FULL);
  return FALSE;
}
}  // namespace

TEST(ActionLog, FailuresOnTheOpenLogNeverEscape) {
  struct Case {
    const char* function;
    void* fake;
    bool lineWritten;
  } cases[] = {
      {"SetFilePointer", reinterpret_cast<void*>(&FailSeek), false},
      {"WriteFile", reinterpret_cast<void*>(&FailWrite), false},
      {"WriteFile", reinterpret_cast<void*>(&ShortWrite), true},
      {"CloseHandle", reinterpret_cast<void*>(&FailClose), true},
  };
  for (const Case& c : cases) {
    KivDll dll;
    LogFixture f;
    WriteFileBytes(f.log, "old\r\n");
    {
      ImportHook hook(dll.module(), "kernel32.dll", c.function, c.fake);
      ASSERT_TRUE(hook.installed()) << c.function;
      BoxWatcher boxes;
      const std::string param = f.ini + "|Files copied";
      CallBlock block;
      block.param = param.c_str();
      EXPECT_EQ(dll.Std("TqSetupAddActionLog", &block), 0u) << c.function;
      EXPECT_EQ(boxes.Count(), 0u);
    }
    const std::string content = ReadFileBytes(f.log);
    EXPECT_EQ(content.compare(0, 5, "old\r\n"), 0) << c.function;
    EXPECT_EQ(content.find(" : Files copied\r\n") != std::string::npos, c.lineWritten)
        << c.function << ": [" << content << "]";
    // The log was closed: it opens without sharing at once.
    HANDLE h = CreateFileA(f.log.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(h, INVALID_HANDLE_VALUE) << c.function;
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
}

TEST(ActionLog, Cp932BarInsideCharacterIsNoSeparator) {
  SKIP_UNLESS_CP932();
  KivDll dll;
  TempDir dir;
  const std::string ini = dir / (kSjisBar + ".ini");
  const std::string log = dir / "setup.log";
  WriteIni(ini, "InstallActionLog", log);
  ASSERT_TRUE(FileExists(ini));
  const std::string param = ini + "|" + kSjisBar + "|done";
  CallBlock block;
  block.param = param.c_str();
  EXPECT_EQ(dll.Std("TqSetupAddActionLog", &block), 0u);
  const std::string content = ReadFileBytes(log);
  EXPECT_NE(content.find(" : " + kSjisBar + "|done\r\n"), std::string::npos) << content;
}
