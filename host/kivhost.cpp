// kivhost: loads KIVSETUP.DLL and runs an installer script against it, the
// way the product installer's script engine calls the library: one export
// at a time, each with its own calling convention, on this thread.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "harness/boxes.h"
#include "harness/imports.h"
#include "script.h"

extern "C" std::uint32_t kiv_call_counted(void* fn, const std::uint32_t* args,
                                          std::uint32_t count, std::int32_t* removed);

namespace {

enum class Conv { Std, Cdecl, Host };
enum class Result { Int, Text, Dest, None };

struct ExportInfo {
  const char* name;
  int ordinal;
  Conv conv;
  const char* args;
  Result result;
};

#define KIV_EXPORT(name, ordinal, conv, args, result) \
  {#name, ordinal, Conv::conv, args, Result::result},
const ExportInfo kExports[] = {
#include "exports.inc"
    // Commands of the host itself, for demos: start a program and go on,
    // pause, print a file, print a registry value (root 0x80000001 or
    // 0x80000002, key path, value name).
    {"start", 0, Conv::Host, "ss", Result::None},
    {"sleep", 0, Conv::Host, "i", Result::None},
    {"show-file", 0, Conv::Host, "s", Result::None},
    {"show-value", 0, Conv::Host, "iss", Result::None},
};
#undef KIV_EXPORT

const ExportInfo* FindExport(const std::string& name) {
  for (const ExportInfo& e : kExports)
    if (name == e.name) return &e;
  return nullptr;
}

// The installer's call record: owner window at offset 4, parameter string
// at offset 40.
struct CallBlock {
  std::uint32_t reserved0 = 0;
  HWND window = nullptr;
  std::uint8_t reserved8[32] = {};
  const char* param = nullptr;
  std::uint8_t tail[64] = {};
};
static_assert(offsetof(CallBlock, window) == 4 && offsetof(CallBlock, param) == 40, "layout");

// %NAME% in a script's string stands for that environment variable, as in
// an installer's own scripts; unknown names stay as written.
std::string Expand(const std::string& s) {
  if (s.find('%') == std::string::npos) return s;
  const DWORD need = ExpandEnvironmentStringsA(s.c_str(), nullptr, 0);
  if (need == 0) return s;
  std::string out(need, '\0');
  ExpandEnvironmentStringsA(s.c_str(), &out[0], need);
  out.resize(std::strlen(out.c_str()));
  return out;
}

std::string Quote(const std::string& s, bool isNull = false) {
  if (isNull) return "null";
  std::string out = "\"";
  for (char c : s) {
    if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else if (c == '"') out += "\"\"";
    else out += c;
  }
  return out + "\"";
}

// Restart calls, answered without restarting anything.
BOOL WINAPI DryExitWindowsEx(UINT flags, DWORD reason) {
  std::printf("    [dry run] ExitWindowsEx(flags 0x%X, reason 0x%lX) not performed\n", flags,
              static_cast<unsigned long>(reason));
  std::fflush(stdout);
  return TRUE;
}
BOOL WINAPI DryInitiateSystemShutdownA(LPSTR machine, LPSTR message, DWORD timeout, BOOL force,
                                       BOOL reboot) {
  std::printf(
      "    [dry run] InitiateSystemShutdownA(machine %s, message %s, timeout %lu, force %d, "
      "reboot %d) not performed\n",
      machine ? machine : "null", message ? message : "null",
      static_cast<unsigned long>(timeout), force, reboot);
  std::fflush(stdout);
  return TRUE;
}

void StartProgram(const char* program, const char* arguments) {
  std::string cmd = std::string("\"") + program + "\" " + (arguments ? arguments : "");
  // The program's own output would mix with the transcript.
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE nul = CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           &inherit, OPEN_EXISTING, 0, nullptr);
  STARTUPINFOA si{};
  si.cb = sizeof si;
  if (nul != INVALID_HANDLE_VALUE) {
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = si.hStdOutput = si.hStdError = nul;
  }
  PROCESS_INFORMATION pi{};
  const BOOL started = CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, TRUE, 0, nullptr,
                                      nullptr, &si, &pi);
  if (nul != INVALID_HANDLE_VALUE) CloseHandle(nul);
  if (started) {
    std::printf("    started, process id %lu\n", static_cast<unsigned long>(pi.dwProcessId));
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
  } else {
    std::printf("    !! cannot start it (error %lu)\n", static_cast<unsigned long>(GetLastError()));
  }
}

void ShowFile(const char* path) {
  std::ifstream f(path, std::ios::binary);
  if (!f) {
    std::printf("    (no such file)\n");
    return;
  }
  std::string line;
  while (std::getline(f, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::printf("    | %s\n", line.c_str());
  }
}

void ShowValue(std::uint32_t root, const char* path, const char* name) {
  HKEY key = nullptr;
  HKEY rootKey = reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(root));
  if (RegOpenKeyExA(rootKey, path, 0, KEY_READ, &key) != ERROR_SUCCESS) {
    std::printf("    (no such key)\n");
    return;
  }
  DWORD type = 0, size = 0;
  if (RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
    std::printf("    (no such value)\n");
  } else {
    std::string data(size + 1, '\0');
    RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&data[0]), &size);
    if (type == REG_DWORD && size == 4) {
      DWORD v;
      std::memcpy(&v, data.data(), 4);
      std::printf("    = REG_DWORD %lu (0x%lX)\n", static_cast<unsigned long>(v),
                  static_cast<unsigned long>(v));
    } else {
      std::printf("    = %s %s (%lu bytes)\n", type == REG_SZ ? "REG_SZ" : "type",
                  Quote(data.c_str()).c_str(), static_cast<unsigned long>(size));
    }
  }
  RegCloseKey(key);
}

// Runs one of the host's own commands with its checked arguments.
void RunHostCommand(const ExportInfo& e, const std::vector<std::uint32_t>& args) {
  auto str = [&](std::size_t i) {
    return reinterpret_cast<const char*>(static_cast<std::uintptr_t>(args[i]));
  };
  const std::string name = e.name;
  if ((name == "start" || name == "show-file") && !str(0)) {
    std::printf("    !! needs a file name\n");
    return;
  }
  if (name == "start") StartProgram(str(0), str(1));
  else if (name == "sleep") Sleep(args[0]);
  else if (name == "show-file") ShowFile(str(0));
  else if (name == "show-value") ShowValue(args[0], str(1), str(2));
  std::fflush(stdout);
}

struct Options {
  std::string dll;
  std::string script;
  bool answerBoxes = false;
  bool allowRestart = false;
};

void Usage() {
  std::fprintf(stderr,
               "usage: kivhost [--dll PATH] [--answer-boxes] [--allow-restart] SCRIPT\n"
               "  --dll PATH       the library to load (default: KIVSETUP.DLL beside kivhost)\n"
               "  --answer-boxes   press OK on every message box and print it\n"
               "  --allow-restart  let the restart calls through (default: printed, not done)\n");
}

std::string ExeFolder() {
  char path[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, path, sizeof path);
  std::string dir(path);
  const auto slash = dir.find_last_of("\\/");
  return slash == std::string::npos ? "." : dir.substr(0, slash);
}

// Under Wine a Unix path given on the command line is reachable through Z:.
std::string Reachable(const std::string& path) {
  if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) return path;
  if (!path.empty() && path[0] == '/') {
    std::string z = "Z:" + path;
    for (char& c : z)
      if (c == '/') c = '\\';
    if (GetFileAttributesA(z.c_str()) != INVALID_FILE_ATTRIBUTES) return z;
  }
  return path;
}

// Builds the arguments of one call from the tokens after the export name.
bool BuildCall(const ExportInfo& e, const std::vector<kivhost::Token>& tokens,
               std::vector<std::uint32_t>* args, std::vector<std::unique_ptr<std::string>>* strings,
               CallBlock* block, std::string* shown, std::string* error) {
  std::size_t next = 1;
  auto take = [&](const char* what) -> const kivhost::Token* {
    if (next >= tokens.size()) {
      *error = std::string("missing ") + what;
      return nullptr;
    }
    return &tokens[next++];
  };
  auto addString = [&](const kivhost::Token& t) -> bool {
    std::string value;
    bool isNull = false;
    if (!kivhost::ParseString(t, &value, &isNull, error)) return false;
    value = Expand(value);
    if (isNull) {
      args->push_back(0);
    } else {
      strings->push_back(std::make_unique<std::string>(value));
      args->push_back(static_cast<std::uint32_t>(
          reinterpret_cast<std::uintptr_t>(strings->back()->c_str())));
    }
    *shown += Quote(value, isNull);
    return true;
  };
  for (const char* kind = e.args; *kind; ++kind) {
    if (!shown->empty()) *shown += ", ";
    if (*kind == 'b') {
      const kivhost::Token* t = take("parameter string");
      if (!t) return false;
      std::string value;
      bool isNull = false;
      if (!kivhost::ParseString(*t, &value, &isNull, error)) return false;
      value = Expand(value);
      if (!isNull) {
        strings->push_back(std::make_unique<std::string>(value));
        block->param = strings->back()->c_str();
      }
      *shown += "block(" + Quote(value, isNull);
      // Optional owner window: a handle number, or "console".
      if (next < tokens.size() && tokens[next].kind == kivhost::Token::Word) {
        const kivhost::Token& w = tokens[next++];
        std::uint32_t handle = 0;
        if (w.text == "console") {
          block->window = GetConsoleWindow();
        } else if (kivhost::ParseInteger(w, &handle, error)) {
          block->window = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(handle));
        } else {
          *error = "owner window must be a number or console, found '" + w.text + "'";
          return false;
        }
        char text[32];
        std::snprintf(text, sizeof text, ", window 0x%lX",
                      static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(block->window)));
        *shown += text;
      }
      *shown += ")";
      args->push_back(static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(block)));
    } else if (*kind == 's') {
      const kivhost::Token* t = take("string argument");
      if (!t || !addString(*t)) return false;
    } else {
      const kivhost::Token* t = take("integer argument");
      std::uint32_t v = 0;
      if (!t || !kivhost::ParseInteger(*t, &v, error)) return false;
      args->push_back(v);
      if (t->text.size() > 2 && t->text[1] == 'x') {
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%lX", static_cast<unsigned long>(v));
        *shown += hex;
      } else {
        *shown += std::to_string(static_cast<std::int32_t>(v));
      }
    }
  }
  if (next < tokens.size()) {
    *error = "too many arguments for " + std::string(e.name) + " (expects " +
             std::to_string(std::strlen(e.args)) + ")";
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Options opt;
  opt.dll = ExeFolder() + "\\KIVSETUP.DLL";
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--dll" && i + 1 < argc) opt.dll = argv[++i];
    else if (a == "--answer-boxes") opt.answerBoxes = true;
    else if (a == "--allow-restart") opt.allowRestart = true;
    else if (a == "--dry-run") opt.allowRestart = false;
    else if (a == "--help" || a == "-h") { Usage(); return 0; }
    else if (!a.empty() && a[0] == '-') { std::fprintf(stderr, "kivhost: unknown switch %s\n", a.c_str()); Usage(); return 2; }
    else if (opt.script.empty()) opt.script = a;
    else { Usage(); return 2; }
  }
  if (opt.script.empty()) {
    Usage();
    return 2;
  }
  const std::string scriptPath = Reachable(opt.script);
  std::ifstream in(scriptPath);
  if (!in) {
    std::fprintf(stderr, "kivhost: cannot open script %s\n", opt.script.c_str());
    return 2;
  }
  // Read and check the whole script before the library does anything.
  struct Line {
    int number;
    std::vector<kivhost::Token> tokens;
    const ExportInfo* e;
  };
  std::vector<Line> lines;
  std::string text;
  for (int number = 1; std::getline(in, text); ++number) {
    Line line{number, {}, nullptr};
    std::string error;
    if (!kivhost::Tokenize(text, &line.tokens, &error)) {
      std::fprintf(stderr, "%s:%d: %s\n", opt.script.c_str(), number, error.c_str());
      return 2;
    }
    if (line.tokens.empty()) continue;
    line.e = FindExport(line.tokens[0].text);
    if (!line.e) {
      std::fprintf(stderr, "%s:%d: unknown export '%s'\n", opt.script.c_str(), number,
                   line.tokens[0].text.c_str());
      return 2;
    }
    std::vector<std::uint32_t> args;
    std::vector<std::unique_ptr<std::string>> strings;
    CallBlock block;
    std::string shown;
    if (!BuildCall(*line.e, line.tokens, &args, &strings, &block, &shown, &error)) {
      std::fprintf(stderr, "%s:%d: %s\n", opt.script.c_str(), number, error.c_str());
      return 2;
    }
    lines.push_back(line);
  }

  HMODULE dll = LoadLibraryA(Reachable(opt.dll).c_str());
  if (!dll) {
    std::fprintf(stderr, "kivhost: cannot load %s (error %lu)\n", opt.dll.c_str(),
                 static_cast<unsigned long>(GetLastError()));
    return 2;
  }
  std::unique_ptr<kivtest::ImportHook> exitHook, shutdownHook;
  if (!opt.allowRestart) {
    exitHook = std::make_unique<kivtest::ImportHook>(dll, "user32.dll", "ExitWindowsEx",
                                                     reinterpret_cast<void*>(&DryExitWindowsEx));
    shutdownHook = std::make_unique<kivtest::ImportHook>(
        dll, "advapi32.dll", "InitiateSystemShutdownA",
        reinterpret_cast<void*>(&DryInitiateSystemShutdownA));
  }
  std::unique_ptr<kivtest::BoxWatcher> boxes;
  if (opt.answerBoxes) {
    boxes = std::make_unique<kivtest::BoxWatcher>();
    boxes->OnBox([](const kivtest::Box& box) {
      std::printf("    [box] %s | %s  (owner 0x%lX) -> OK\n", Quote(box.caption).c_str(),
                  Quote(box.text).c_str(),
                  static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(box.owner)));
      std::fflush(stdout);
      return IDOK;
    });
  }

  int status = 0;
  for (const Line& line : lines) {
    std::vector<std::uint32_t> args;
    std::vector<std::unique_ptr<std::string>> strings;
    CallBlock block;
    std::string shown, error;
    BuildCall(*line.e, line.tokens, &args, &strings, &block, &shown, &error);
    if (line.e->conv == Conv::Host) {
      std::printf("%d: %s %s\n", line.number, line.e->name, shown.c_str());
      RunHostCommand(*line.e, args);
      continue;
    }
    void* fn = reinterpret_cast<void*>(GetProcAddress(dll, line.e->name));
    if (!fn) {
      std::fprintf(stderr, "%s:%d: the library does not export %s\n", opt.script.c_str(),
                   line.number, line.e->name);
      status = 1;
      break;
    }
    std::printf("%d: %s(%s)\n", line.number, line.e->name, shown.c_str());
    std::fflush(stdout);
    std::int32_t removed = 0;
    const std::uint32_t r =
        kiv_call_counted(fn, args.data(), static_cast<std::uint32_t>(args.size()), &removed);
    const std::int32_t expected =
        line.e->conv == Conv::Std ? static_cast<std::int32_t>(4 * args.size()) : 0;
    switch (line.e->result) {
      case Result::Int: std::printf("    -> %ld\n", static_cast<long>(static_cast<std::int32_t>(r))); break;
      case Result::None: std::printf("    -> (no result)\n"); break;
      case Result::Text:
      case Result::Dest: {
        const char* s = reinterpret_cast<const char*>(static_cast<std::uintptr_t>(r));
        std::printf("    -> %s\n", s ? Quote(s).c_str() : "null");
        break;
      }
    }
    if (removed != expected) {
      std::printf("    !! the export removed %ld bytes of arguments, expected %ld\n",
                  static_cast<long>(removed), static_cast<long>(expected));
      status = 1;
    }
    std::fflush(stdout);
  }
  boxes.reset();
  exitHook.reset();
  shutdownHook.reset();
  FreeLibrary(dll);
  return status;
}
