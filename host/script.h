// The installer script format of kivhost: one export call a line.
//
//   # comment
//   KIVSetup_SetRegistryInfo "Brantelo" "Solvanta"
//   TqSetupAddActionLog "C:\setup\log.ini|Files copied" 0
//   QRVSetupCompressFile "C:\a.txt" "C:\a.gz" 9
//
// Tokens are separated by blanks. A quoted token keeps everything up to the
// next quote literally (backslashes included); "" inside quotes stands for
// one quote. The bare word null passes a null string pointer. Integers are
// decimal (with an optional minus) or hexadecimal with 0x.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace kivhost {

struct Token {
  enum Kind { Word, Quoted } kind = Word;
  std::string text;
};

// Splits one line into tokens; a # outside quotes starts a comment. Returns
// false with a message when a quote is not closed.
bool Tokenize(const std::string& line, std::vector<Token>* tokens, std::string* error);

// A string argument: a quoted token, or null. *isNull tells which.
bool ParseString(const Token& t, std::string* value, bool* isNull, std::string* error);

// A 32-bit integer argument (signed decimal or 0x hexadecimal).
bool ParseInteger(const Token& t, std::uint32_t* value, std::string* error);

}  // namespace kivhost
