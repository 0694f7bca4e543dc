#include <cstring>

#include "actions.h"

#include <shellapi.h>

using namespace kivtest;

namespace {

constexpr char kImportKey[] = "Software\\KivActionsTest";

std::string RegFile(const char* value) {
  return std::string("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\") + kImportKey + "]\r\n\"Imported\"=\"" +
         value + "\"\r\n";
}

std::string ShortPath(const std::string& path) {
  char out[MAX_PATH] = "";
  GetShortPathNameA(path.c_str(), out, sizeof out);
  return out;
}

struct EditorRun {
  std::string program;      // where the editor that ran lies
  std::string commandLine;  // exactly as it received it
};

// A source folder, a destination folder, and the record of every start of
// the stand-in registry editor.
class PostInstall : public ::testing::Test {
 protected:
  TempDir dir;
  std::string source = dir / "Setup Source";
  std::string dest = dir / "Dest";
  std::string editorLog = dir / "editor.log";

  void SetUp() override {
    CreateDirectoryA(source.c_str(), nullptr);
    CreateDirectoryA(dest.c_str(), nullptr);
    SetEnvironmentVariableA("KIV_REGEDIT_LOG", editorLog.c_str());
    SetEnvironmentVariableA("KIV_REGEDIT_DELAY", nullptr);
    DeleteTree(HKEY_CURRENT_USER, kImportKey);
  }
  void TearDown() override {
    SetEnvironmentVariableA("KIV_REGEDIT_LOG", nullptr);
    SetEnvironmentVariableA("KIV_REGEDIT_DELAY", nullptr);
    DeleteTree(HKEY_CURRENT_USER, kImportKey);
  }

  std::vector<EditorRun> EditorRuns() {
    std::vector<EditorRun> runs;
    const std::string text = ReadFileBytes(editorLog);
    std::size_t at = 0;
    for (std::size_t end; (end = text.find('\n', at)) != std::string::npos; at = end + 1) {
      const std::string line = text.substr(at, end - at);
      const std::size_t tab = line.find('\t');
      runs.push_back({line.substr(0, tab), line.substr(tab + 1)});
    }
    return runs;
  }
  std::string Imported() {
    std::string value;
    GetString(HKEY_CURRENT_USER, kImportKey, "Imported", &value);
    return value.c_str();  // without the stored terminator
  }
  static std::string WindowsEditor() {
    char windows[MAX_PATH] = "";
    GetWindowsDirectoryA(windows, sizeof windows);
    return std::string(windows) + "\\REGEDIT.EXE";
  }
  // The editor ran once, from the Windows folder, with "/s /i <path>".
  void ExpectImportedThrough(const std::string& path) {
    const auto runs = EditorRuns();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(lstrcmpiA(runs[0].program.c_str(), WindowsEditor().c_str()), 0) << runs[0].program;
    const std::string tail = " /s /i " + path;
    const std::string& cmd = runs[0].commandLine;
    EXPECT_TRUE(cmd.size() > tail.size() && cmd.compare(cmd.size() - tail.size(), tail.size(), tail) == 0)
        << cmd;
  }
};

}  // namespace

TEST_F(PostInstall, DefaultFilesCopiedAndImportedBeforeReturn) {
  KivDll dll;
  WriteFileBytes(source + "\\QRVINIT.INI", "[Preferences]\r\nFresh=1\r\n");
  WriteFileBytes(source + "\\QRVCFG.REG", RegFile("default"));
  WriteFileBytes(dest + "\\QRVINIT.INI", "old");
  // The editor takes its time: the export must still have waited for it.
  SetEnvironmentVariableA("KIV_REGEDIT_DELAY", "700");
  BoxWatcher boxes;
  CursorRecorder cursors(dll.module());
  EXPECT_EQ(dll.Std("TqPerformPostInstallActions", source.c_str(), dest.c_str()), 1u);
  EXPECT_EQ(ReadFileBytes(dest + "\\QRVINIT.INI"), "[Preferences]\r\nFresh=1\r\n");
  EXPECT_EQ(Imported(), "default");
  ExpectImportedThrough(ShortPath(source + "\\QRVCFG.REG"));
  EXPECT_EQ(ShortPath(source + "\\QRVCFG.REG").find(' '), std::string::npos);
  EXPECT_TRUE(cursors.NeverShown());
  EXPECT_EQ(boxes.Count(), 0u);

  // Trailing backslashes change nothing; the ordinal reaches the same export.
  DeleteFileA(editorLog.c_str());
  DeleteFileA((dest + "\\QRVINIT.INI").c_str());
  DeleteTree(HKEY_CURRENT_USER, kImportKey);
  SetEnvironmentVariableA("KIV_REGEDIT_DELAY", nullptr);
  EXPECT_EQ(dll.StdOrdinal(28, (source + "\\").c_str(), (dest + "\\").c_str()), 1u);
  EXPECT_TRUE(FileExists(dest + "\\QRVINIT.INI"));
  EXPECT_EQ(Imported(), "default");
  ExpectImportedThrough(ShortPath(source + "\\QRVCFG.REG"));
}

TEST_F(PostInstall, SetupIniNamesFilesElsewhere) {
  KivDll dll;
  const std::string other = dir / "Other Place";
  CreateDirectoryA(other.c_str(), nullptr);
  const std::string prefs = other + "\\My Prefs.ini";
  const std::string reg = other + "\\My Config.reg";
  WriteFileBytes(prefs, "chosen");
  WriteFileBytes(reg, RegFile("chosen"));
  // Default files beside the INI are not used once the INI names others.
  WriteFileBytes(source + "\\QRVINIT.INI", "default");
  WriteFileBytes(source + "\\QRVCFG.REG", RegFile("default"));
  WriteIni(source + "\\QRVSETUP.INI", "InitialPreferencesFile", prefs);
  WriteIni(source + "\\QRVSETUP.INI", "InitialRegFile", reg);
  WriteFileBytes(dest + "\\QRVINIT.INI", "old");
  EXPECT_EQ(dll.Std("TqPerformPostInstallActions", source.c_str(), dest.c_str()), 1u);
  EXPECT_EQ(ReadFileBytes(dest + "\\QRVINIT.INI"), "chosen");
  EXPECT_EQ(Imported(), "chosen");
  const std::string shortReg = ShortPath(reg);
  EXPECT_EQ(shortReg.find(' '), std::string::npos) << shortReg;
  ExpectImportedThrough(shortReg);
}

TEST_F(PostInstall, StepsWithoutTheirFileAreSkipped) {
  const std::string longFolder = dir.path() + "\\" + std::string(248 - dir.path().size() - 1, 'L');
  struct Case {
    const char* what;
    bool prefs, reg;        // default files in the source folder
    const char* prefsKey;   // InitialPreferencesFile in QRVSETUP.INI, or none
    const char* regKey;     // InitialRegFile in QRVSETUP.INI, or none
    bool nullSource, nullDest, missingDest, longDest;
    DWORD result;
    bool copied, imported;
  } cases[] = {
      {"no files at all", false, false, nullptr, nullptr, false, false, false, false, 1, false, false},
      {"only the registry file", false, true, nullptr, nullptr, false, false, false, false, 1, false, true},
      {"only the preferences file", true, false, nullptr, nullptr, false, false, false, false, 1, true, false},
      {"keys present but empty", true, true, "", "", false, false, false, false, 1, false, false},
      {"keys name missing files", true, true, "C:\\nowhere\\p.ini", "C:\\nowhere\\c.reg", false, false, false, false, 1, false, false},
      {"destination folder missing", true, true, nullptr, nullptr, false, false, true, false, 1, false, true},
      {"destination too long for a path", true, true, nullptr, nullptr, false, false, false, true, 1, false, true},
      {"null source", true, true, nullptr, nullptr, true, false, false, false, 0, false, false},
      {"null destination", true, true, nullptr, nullptr, false, true, false, false, 0, false, false},
  };
  KivDll dll;
  BoxWatcher boxes;
  for (const Case& c : cases) {
    TempDir src, dst;
    if (c.prefs) WriteFileBytes(src / "QRVINIT.INI", "prefs");
    if (c.reg) WriteFileBytes(src / "QRVCFG.REG", RegFile("yes"));
    if (c.prefsKey) WriteIni(src / "QRVSETUP.INI", "InitialPreferencesFile", c.prefsKey);
    if (c.regKey) WriteIni(src / "QRVSETUP.INI", "InitialRegFile", c.regKey);
    std::string destFolder = dst.path();
    if (c.missingDest) destFolder += "\\missing";
    if (c.longDest) destFolder = longFolder;
    DeleteFileA(editorLog.c_str());
    DeleteTree(HKEY_CURRENT_USER, kImportKey);
    EXPECT_EQ(dll.Std("TqPerformPostInstallActions", c.nullSource ? nullptr : src.path().c_str(),
                      c.nullDest ? nullptr : destFolder.c_str()),
              c.result)
        << c.what;
    EXPECT_EQ(FileExists(dst / "QRVINIT.INI"), c.copied) << c.what;
    EXPECT_EQ(Imported() == "yes", c.imported) << c.what;
    EXPECT_EQ(EditorRuns().size(), c.imported ? 1u : 0u) << c.what;
  }
  EXPECT_EQ(boxes.Count(), 0u);
}

TEST_F(PostInstall, SourceTooLongForItsPathsDoesNothing) {
  KivDll dll;
  // 247 characters leave no room for "\QRVSETUP.INI" in a 260-byte path.
  const std::string folder = "C:\\" + std::string(244, 's');
  const std::string farTooLong = "C:\\" + std::string(5000, 's');
  for (const std::string& f : {folder, farTooLong})
    EXPECT_EQ(dll.Std("TqPerformPostInstallActions", f.c_str(), dest.c_str()), 1u);
  EXPECT_FALSE(FileExists(dest + "\\QRVINIT.INI"));
  EXPECT_TRUE(EditorRuns().empty());
}

namespace {
// What the DLL hands to the shell; the call then goes ahead for real.
struct ShellRecord {
  SHELLEXECUTEINFOA info;
  std::string file, parameters;
};
std::vector<ShellRecord> shellCalls;
BOOL(WINAPI* realShellExecuteEx)(SHELLEXECUTEINFOA*) = nullptr;
BOOL WINAPI RecordShellExecuteEx(SHELLEXECUTEINFOA* info) {
  shellCalls.push_back({*info, info->lpFile ? info->lpFile : "", info->lpParameters ? info->lpParameters : ""});
  return realShellExecuteEx(info);
}
}  // namespace

TEST_F(PostInstall, EditorStartedByItsFullPathInTheWindowsFolder) {
  // The installer runs elevated in a folder others may write to: a name
  // alone could start whatever REGEDIT.EXE lies there.
  KivDll dll;
  WriteFileBytes(source + "\\QRVCFG.REG", RegFile("full path"));
  ImportHook hook(dll.module(), "shell32.dll", "ShellExecuteExA", reinterpret_cast<void*>(&RecordShellExecuteEx));
  ASSERT_TRUE(hook.installed());
  realShellExecuteEx = hook.original_as<decltype(realShellExecuteEx)>();
  shellCalls.clear();
  EXPECT_EQ(dll.Std("TqPerformPostInstallActions", source.c_str(), dest.c_str()), 1u);
  ASSERT_EQ(shellCalls.size(), 1u);
  const ShellRecord& r = shellCalls[0];
  EXPECT_EQ(lstrcmpiA(r.file.c_str(), WindowsEditor().c_str()), 0) << r.file;
  EXPECT_EQ(r.parameters, "/s /i " + ShortPath(source + "\\QRVCFG.REG"));
  EXPECT_EQ(r.info.cbSize, 60u);
  EXPECT_EQ(r.info.fMask, static_cast<ULONG>(SEE_MASK_NOCLOSEPROCESS));
  EXPECT_EQ(r.info.nShow, SW_SHOWNORMAL);
  EXPECT_EQ(r.info.hwnd, nullptr);
  EXPECT_EQ(r.info.lpVerb, nullptr);
  EXPECT_EQ(r.info.lpDirectory, nullptr);
  EXPECT_EQ(Imported(), "full path");
}

namespace {
DWORD WINAPI NoShortPath(LPCSTR, LPSTR, DWORD) {
  SetLastError(ERROR_ACCESS_DENIED);
  return 0;
}
}  // namespace

TEST_F(PostInstall, WithoutAShortPathTheLongOneGoesQuoted) {
  KivDll dll;
  WriteFileBytes(source + "\\QRVCFG.REG", RegFile("long path"));
  ImportHook hook(dll.module(), "kernel32.dll", "GetShortPathNameA", reinterpret_cast<void*>(&NoShortPath));
  ASSERT_TRUE(hook.installed());
  EXPECT_EQ(dll.Std("TqPerformPostInstallActions", source.c_str(), dest.c_str()), 1u);
  EXPECT_EQ(Imported(), "long path");
  ExpectImportedThrough("\"" + source + "\\QRVCFG.REG\"");
}

TEST_F(PostInstall, Cp932FolderEndingInBackslashTrailByte) {
  SKIP_UNLESS_CP932();
  KivDll dll;
  const std::string folder = dir / ("src" + kSjisBackslash);
  ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
  WriteFileBytes(folder + "\\QRVINIT.INI", "double-byte");
  WriteFileBytes(folder + "\\QRVCFG.REG", RegFile("double-byte"));
  EXPECT_EQ(dll.Std("TqPerformPostInstallActions", folder.c_str(), dest.c_str()), 1u);
  EXPECT_EQ(ReadFileBytes(dest + "\\QRVINIT.INI"), "double-byte");
  EXPECT_EQ(Imported(), "double-byte");
}
