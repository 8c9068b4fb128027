#include <gtest/gtest.h>

#include <set>

#include "platform/foundation/base64.h"
#include "platform/foundation/date.h"
#include "platform/foundation/error.h"
#include "platform/foundation/sha256.h"
#include "platform/foundation/utf8.h"
#include "platform/foundation/uuid.h"

namespace tessra::platform {
namespace {

TEST(Uuid, IsUpperCaseVersion4AndUnique) {
  std::set<std::string> seen;
  for (int i = 0; i < 200; ++i) {
    const std::string uuid = makeUuidString();
    ASSERT_EQ(uuid.size(), 36u);
    EXPECT_EQ(canonicalUuidString(uuid), uuid);
    EXPECT_EQ(uuid[14], '4');
    EXPECT_NE(std::string("89AB").find(uuid[19]), std::string::npos);
    EXPECT_TRUE(seen.insert(uuid).second);
  }
  EXPECT_EQ(canonicalUuidString("e621e1f8-c36c-495a-93fc-0c247a3e6e5f"),
            "E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
  EXPECT_EQ(canonicalUuidString("E621E1F8C36C495A93FC0C247A3E6E5F"), std::nullopt);
  EXPECT_EQ(canonicalUuidString("G621E1F8-C36C-495A-93FC-0C247A3E6E5F"), std::nullopt);
}

TEST(Sha256, MatchesTheStandardDigests) {
  EXPECT_EQ(sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(sha256Hex("h\xC3\xA9llo"),
            "3c48591d8d098a4538f5e013dfcf406e948eac4d3277b10bf614e295d6068179");
}

TEST(Base64, MatchesTheStandardVectors) {
  const std::pair<const char*, const char*> vectors[] = {
      {"", ""},
      {"f", "Zg=="},
      {"fo", "Zm8="},
      {"foo", "Zm9v"},
      {"foob", "Zm9vYg=="},
      {"fooba", "Zm9vYmE="},
      {"foobar", "Zm9vYmFy"},
      {"\xFF\xFE", "//4="},
  };
  for (const auto& [plain, encoded] : vectors) {
    EXPECT_EQ(base64Encode(std::string_view(plain)), encoded);
    EXPECT_EQ(base64Decode(encoded), toBytes(plain));
  }
}

TEST(Base64, RejectsMalformedText) {
  for (const char* bad : {"Zg=", "Zg==Zg==", "Z===", "Zm9v\n", "Zm9*", "=Zm9"}) {
    EXPECT_EQ(base64Decode(bad), std::nullopt) << bad;
  }
}

TEST(Date, ConvertsBetweenEpochs) {
  EXPECT_EQ(Date::fromUnixTime(978307200).timeIntervalSinceReferenceDate(), 0);
  EXPECT_EQ(Date::fromReferenceDate(0).timeIntervalSince1970(), 978307200);
  EXPECT_EQ(Date::fromReferenceDate(0).iso8601(), "2001-01-01T00:00:00.000Z");
  EXPECT_EQ(Date::fromUnixTime(0).iso8601(), "1970-01-01T00:00:00.000Z");
  const Date now = Date::now();
  EXPECT_NEAR(Date::fromSystemClock(now.systemClockTime()).timeIntervalSinceReferenceDate(),
              now.timeIntervalSinceReferenceDate(), 1e-6);
  EXPECT_GT(now.timeIntervalSinceReferenceDate(), 7e8);  // after 2023
}

TEST(Utf8, SanitizeReplacesEachMaximalIllFormedSubpart) {
  const std::pair<std::string, std::string> cases[] = {
      {"plain", "plain"},
      {"caf\xC3\xA9", "caf\xC3\xA9"},
      {"a\x80z", "a\xEF\xBF\xBDz"},
      {"\xE2\x82", "\xEF\xBF\xBD"},                              // truncated three-byte sequence
      {"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},  // a surrogate is three subparts
      {"\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD"},                  // overlong form
      {"\xF0\x9F\x99\x82", "\xF0\x9F\x99\x82"},
  };
  for (const auto& [input, expected] : cases) {
    EXPECT_EQ(sanitizeUtf8(input), expected);
    EXPECT_EQ(isValidUtf8(input), input == expected);
    EXPECT_TRUE(isValidUtf8(sanitizeUtf8(input)));
  }
}

TEST(Utf8, PrefixKeepsWholeGraphemes) {
  const std::string family =
      "\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7";
  const std::string thumbs = "\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD";  // thumbs up, skin tone
  const std::string flag = "\xF0\x9F\x87\xAB\xF0\x9F\x87\xB7";    // regional indicators F R
  const std::string accent = "e\xCC\x81";                         // e + combining acute
  EXPECT_EQ(prefixGraphemes(family + "ab", 1), family);
  EXPECT_EQ(prefixGraphemes(thumbs + "x", 1), thumbs);
  EXPECT_EQ(prefixGraphemes(flag + flag, 1), flag);
  EXPECT_EQ(prefixGraphemes(accent + "z", 1), accent);
  EXPECT_EQ(prefixGraphemes("hello", 3), "hel");
  EXPECT_EQ(prefixGraphemes("hi", 10), "hi");
  EXPECT_EQ(prefixGraphemes("hi", 0), "");
  EXPECT_EQ(graphemeCount(family + thumbs + accent + "x"), 4u);
}

TEST(Utf8, CompletePrefixHoldsBackACutCharacter) {
  const std::string smile = "\xF0\x9F\x99\x82";
  EXPECT_EQ(completeUtf8Prefix("abc"), 3u);
  EXPECT_EQ(completeUtf8Prefix("ab" + smile), 6u);
  for (std::size_t cut = 1; cut < smile.size(); ++cut) {
    EXPECT_EQ(completeUtf8Prefix("ab" + smile.substr(0, cut)), 2u) << cut;
  }
  EXPECT_EQ(completeUtf8Prefix("a\xC3"), 1u);
  EXPECT_EQ(completeUtf8Prefix(""), 0u);
}

TEST(Error, DescriptionsSurviveThreadHandOff) {
  const ErrorPtr text = std::make_exception_ptr(TextError("Invalid response"));
  EXPECT_EQ(describe(text), "Invalid response");
  const ErrorPtr withCause = std::make_exception_ptr(Error("Save failed", "disk full"));
  EXPECT_EQ(describe(withCause), "Save failed");
  EXPECT_EQ(debugDescribe(withCause), "Save failed (disk full)");
  EXPECT_EQ(describe(std::make_exception_ptr(std::runtime_error("plain"))), "plain");
  try {
    std::rethrow_exception(text);
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "Invalid response");
  }
}

}  // namespace
}  // namespace tessra::platform
