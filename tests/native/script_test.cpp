#include "script.h"

#include <gtest/gtest.h>

using namespace kivhost;

TEST(HostScript, Tokens) {
  std::vector<Token> t;
  std::string error;
  ASSERT_TRUE(Tokenize("  Tq \"C:\\a b\\\" 12 null # comment \"x", &t, &error));
  ASSERT_EQ(t.size(), 4u);
  EXPECT_EQ(t[0].text, "Tq");
  EXPECT_EQ(t[1].kind, Token::Quoted);
  EXPECT_EQ(t[1].text, "C:\\a b\\");
  EXPECT_EQ(t[2].text, "12");
  EXPECT_EQ(t[3].text, "null");
  ASSERT_TRUE(Tokenize("x \"say \"\"hi\"\"\" \"\"", &t, &error));
  EXPECT_EQ(t[1].text, "say \"hi\"");
  EXPECT_EQ(t[2].text, "");
  EXPECT_EQ(t[2].kind, Token::Quoted);
  ASSERT_TRUE(Tokenize("   # only a comment", &t, &error));
  EXPECT_TRUE(t.empty());
  EXPECT_FALSE(Tokenize("x \"open", &t, &error));
  EXPECT_FALSE(Tokenize("x \"a\"b", &t, &error));
}

TEST(HostScript, Arguments) {
  struct Case {
    const char* text;
    bool ok;
    std::uint32_t value;
  } cases[] = {
      {"0", true, 0},
      {"-1", true, 0xFFFFFFFFu},
      {"2147483647", true, 0x7FFFFFFFu},
      {"-2147483648", true, 0x80000000u},
      {"4294967295", true, 0xFFFFFFFFu},
      {"0x80000002", true, 0x80000002u},
      {"4294967296", false, 0},
      {"12abc", false, 0},
      {"0x", false, 0},
      {"-", false, 0},
  };
  for (const Case& c : cases) {
    std::uint32_t v = 0;
    std::string error;
    EXPECT_EQ(ParseInteger(Token{Token::Word, c.text}, &v, &error), c.ok) << c.text;
    if (c.ok) EXPECT_EQ(v, c.value) << c.text;
  }
  std::uint32_t v;
  std::string error, s;
  bool isNull = false;
  EXPECT_FALSE(ParseInteger(Token{Token::Quoted, "5"}, &v, &error));
  EXPECT_TRUE(ParseString(Token{Token::Word, "null"}, &s, &isNull, &error));
  EXPECT_TRUE(isNull);
  EXPECT_TRUE(ParseString(Token{Token::Quoted, "null"}, &s, &isNull, &error));
  EXPECT_FALSE(isNull);
  EXPECT_FALSE(ParseString(Token{Token::Word, "bare"}, &s, &isNull, &error));
}
