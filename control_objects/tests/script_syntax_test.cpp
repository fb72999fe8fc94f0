#include "script_syntax.h"

#include <gtest/gtest.h>

namespace opostest {
namespace {

TEST(ScriptSyntax, TokensIntegersAndStrings) {
  std::vector<Token> tokens;
  std::string error;
  ASSERT_TRUE(Tokenize("  p PrintNormal\t-2 0xFFFFFFFF \"a\\\\b\\x00\\t\" +7 ", tokens, error));
  ASSERT_EQ(tokens.size(), 6u);
  EXPECT_EQ(tokens[0].kind, Token::Word);
  EXPECT_EQ(tokens[2].number, -2);
  EXPECT_EQ(tokens[3].number, -1);
  EXPECT_EQ(tokens[4].kind, Token::String);
  EXPECT_EQ(tokens[4].text, std::string("a\\b\0\t", 5));
  EXPECT_EQ(tokens[5].number, 7);

  for (const char* bad : {"p \"open", "p \"\\x4\"", "p \"x\"y", "p a\"b", "p 12ab", "p 0x",
                          "p 0x123456789", "p 2147483648", "p -"}) {
    EXPECT_FALSE(Tokenize(bad, tokens, error)) << bad;
    EXPECT_FALSE(error.empty());
  }
  int32_t value = 0;
  EXPECT_TRUE(ParseInteger("-2147483648", value));
  EXPECT_EQ(value, INT32_MIN);
}

TEST(ScriptSyntax, QuotedOutputReadsBackAsTheSameBytes) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  const std::string quoted = Quote(all);
  for (char c : quoted) {
    EXPECT_GE(static_cast<unsigned char>(c), 0x20);
    EXPECT_LE(static_cast<unsigned char>(c), 0x7E);
  }
  std::vector<Token> tokens;
  std::string error;
  ASSERT_TRUE(Tokenize(quoted, tokens, error)) << error;
  ASSERT_EQ(tokens.size(), 1u);
  EXPECT_EQ(tokens[0].text, all);
  EXPECT_EQ(Quote("a\"b\\\n"), "\"a\\\"b\\\\\\x0A\"");
}

}  // namespace
}  // namespace opostest
