// The product's face towards the user: its display name, branded string
// resources, the installer's message box and the system-error box.
#pragma once
#include <windows.h>

#include <string>

#include "frame/export.h"

namespace kiv {

// The installed product's display name, chosen by "ProductId". Resolved at
// load; an empty "ProductName" is looked up again on the next request.
const char* ProductDisplayName();

// String resource id with the product-line name replaced by the brand, and
// " [MSG-<id>]" added for ids 2001-3999; at most 511 bytes.
std::string LoadBrandedString(int id);

// OK box owned by the block's window, caption 408, text id.
void ShowInstallerMessage(const InstallerCallBlock* block, int id);

// Box without owner, caption "Brantelo", with the system's text for code
// followed by the code in parentheses. Returns 1.
int ShowSystemError(DWORD code);

}  // namespace kiv
