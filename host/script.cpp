#include "script.h"

#include <cerrno>
#include <cctype>
#include <cstdlib>

namespace kivhost {

bool Tokenize(const std::string& line, std::vector<Token>* tokens, std::string* error) {
  tokens->clear();
  std::size_t i = 0;
  const std::size_t n = line.size();
  while (i < n) {
    const char c = line[i];
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      ++i;
    } else if (c == '#') {
      break;
    } else if (c == '"') {
      Token t{Token::Quoted, {}};
      ++i;
      for (;;) {
        if (i >= n) {
          *error = "unclosed quote";
          return false;
        }
        if (line[i] == '"') {
          if (i + 1 < n && line[i + 1] == '"') {
            t.text += '"';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        t.text += line[i++];
      }
      if (i < n && line[i] != ' ' && line[i] != '\t' && line[i] != '\r' && line[i] != '\n') {
        *error = "text directly after a closing quote";
        return false;
      }
      tokens->push_back(t);
    } else {
      Token t{Token::Word, {}};
      while (i < n && line[i] != ' ' && line[i] != '\t' && line[i] != '\r' && line[i] != '\n')
        t.text += line[i++];
      tokens->push_back(t);
    }
  }
  return true;
}

bool ParseString(const Token& t, std::string* value, bool* isNull, std::string* error) {
  if (t.kind == Token::Quoted) {
    *value = t.text;
    *isNull = false;
    return true;
  }
  if (t.text == "null") {
    value->clear();
    *isNull = true;
    return true;
  }
  *error = "expected a quoted string or null, found '" + t.text + "'";
  return false;
}

bool ParseInteger(const Token& t, std::uint32_t* value, std::string* error) {
  const std::string& s = t.text;
  if (t.kind == Token::Word && !s.empty()) {
    errno = 0;
    char* end = nullptr;
    const bool hex = s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X');
    if (hex) {
      const unsigned long long v = std::strtoull(s.c_str() + 2, &end, 16);
      if (errno == 0 && *end == '\0' && end != s.c_str() + 2 && v <= 0xFFFFFFFFull) {
        *value = static_cast<std::uint32_t>(v);
        return true;
      }
    } else {
      const long long v = std::strtoll(s.c_str(), &end, 10);
      if (errno == 0 && *end == '\0' && v >= -2147483648LL && v <= 4294967295LL &&
          (std::isdigit(static_cast<unsigned char>(s.back())))) {
        *value = static_cast<std::uint32_t>(v);
        return true;
      }
    }
  }
  *error = "expected an integer, found '" + s + "'";
  return false;
}

}  // namespace kivhost
