#include "platform/foundation/percent_encoding.h"

#include <gtest/gtest.h>

namespace tessra::platform {
namespace {

TEST(PercentEncoding, EncodesAllButUnreservedAndKeptCharacters) {
  struct Case {
    std::string text;
    std::string_view kept;
    std::string encoded;
  };
  const Case cases[] = {
      {"AZaz09-._~", "", "AZaz09-._~"},
      {"a b/c?d#e", "", "a%20b%2Fc%3Fd%23e"},
      {"/a b/c:@!", kPathCharacters, "/a%20b/c:@!"},
      {"?#[]%", kPathCharacters, "%3F%23%5B%5D%25"},
      // "%" is escaped even when asked to keep it, so decoding always gives the text back.
      {"100%", "%", "100%25"},
      {"é日🙂", "", "%C3%A9%E6%97%A5%F0%9F%99%82"},
      {std::string("\0\x7F\xFF", 3), "", "%00%7F%FF"},
      {"", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(percentEncode(c.text, c.kept), c.encoded);
    EXPECT_EQ(percentDecode(c.encoded), c.text);
  }
}

TEST(PercentEncoding, DecodesEitherCaseAndRefusesBrokenEscapes) {
  struct Case {
    std::string_view text;
    std::optional<std::string> decoded;
  };
  const Case cases[] = {
      {"a%2fb%2Fc", "a/b/c"},
      {"%2E%2E", ".."},
      {"%C3%A9", "é"},
      {"%c3", "\xC3"},
      {"%00", std::string(1, '\0')},
      {"plain+text", "plain+text"},
      {"%", std::nullopt},
      {"%4", std::nullopt},
      {"a%zz", std::nullopt},
      {"%%41", std::nullopt},
      {"%4g", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(percentDecode(c.text), c.decoded);
  }
}

}  // namespace
}  // namespace tessra::platform
