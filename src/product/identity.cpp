#include "product/identity.h"

#include <cstdio>
#include <cstring>

#include "frame/app.h"
#include "frame/handles.h"
#include "frame/mbwin.h"
#include "portable/branding.h"
#include "product/registry.h"

namespace kiv {
namespace {

constexpr DWORD kNoProductId = 0xFFFFFFFF;

bool productIdRead = false;
DWORD productId = kNoProductId;
char displayName[260];

DWORD ProductId() {
  if (!productIdRead) {
    productIdRead = true;
    productId = ReadProductDword("Current Version", "ProductId", kNoProductId, kLocalMachine);
  }
  return productId;
}

}  // namespace

const char* ProductDisplayName() {
  if (displayName[0] != '\0') return displayName;
  const char* name;
  switch (ProductId()) {
    case 0: name = kBrand; break;
    case 1: name = "Kestrune Office Edition"; break;
    case 2: name = "Kestrune Internet Edition"; break;
    case 3: name = "Kestrune Enterprise Edition"; break;
    default:
      name = ReadProductString("Current Version", "ProductName", kBrand, kLocalMachine);
      break;
  }
  // A longer name keeps its first 259 bytes, cut between characters.
  mb::CopyBounded(displayName, sizeof displayName, name, SystemLeadByte);
  return displayName;
}

std::string LoadBrandedString(int id) {
  char resource[2048] = "";
  if (id >= 0 && id <= 0xFFFF)
    LoadStringA(App().Instance(), static_cast<UINT>(id), resource, sizeof resource);
  return BrandText(id, resource, SystemLeadByte);
}

void ShowInstallerMessage(const InstallerCallBlock* block, int id) {
  const std::string caption = LoadBrandedString(408);
  const std::string text = LoadBrandedString(id);
  MessageBoxA(BlockWindow(block), text.c_str(), caption.c_str(), MB_OK);
}

int ShowSystemError(DWORD code) {
  char* systemText = nullptr;
  // No arguments are passed, so a text with insert marks (%1) is taken as
  // it stands instead of reading arguments that are not there.
  FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER |
                     FORMAT_MESSAGE_IGNORE_INSERTS,
                 nullptr, code,
                 LANG_USER_DEFAULT, reinterpret_cast<LPSTR>(&systemText), 0, nullptr);
  LocalMemory owner(systemText);
  std::string text = systemText ? systemText : "";
  // The system ends its texts with CR LF; drop those two characters. A
  // shorter text loses only the line-break characters it has.
  if (text.size() >= 2)
    text.resize(text.size() - 2);
  else
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) text.pop_back();
  char code_text[16];
  std::snprintf(code_text, sizeof code_text, "(%d)", static_cast<int>(code));
  text += code_text;
  MessageBoxA(nullptr, text.c_str(), "Brantelo", MB_OK);
  return 1;
}

}  // namespace kiv
