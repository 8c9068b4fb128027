#include "platform/foundation/json.h"

#include <gtest/gtest.h>

#include <limits>

namespace tessra::platform {
namespace {

using nlohmann::json;

struct Sample {
  std::string name;
  int count = 0;
  std::optional<double> ratio;
  Date createdAt;
  std::vector<std::string> tags;

  bool operator==(const Sample&) const = default;
};

void to_json(json& j, const Sample& s) {
  j = {{"name", s.name}, {"count", s.count}, {"createdAt", s.createdAt}, {"tags", s.tags}};
  putOptional(j, "ratio", s.ratio);
}

void from_json(const json& j, Sample& s) {
  s.name = requiredField<std::string>(j, "name");
  s.count = requiredField<int>(j, "count");
  s.ratio = optionalField<double>(j, "ratio");
  s.createdAt = requiredField<Date>(j, "createdAt");
  s.tags = requiredField<std::vector<std::string>>(j, "tags");
}

TEST(JsonEncoding, WritesCompactWithEscapedSlashes) {
  EXPECT_EQ(encodeJson(json{{"path", "a/b"}}), R"({"path":"a\/b"})");
  EXPECT_EQ(encodeJson(json{{"path", "a/b\"/"}}, {.escapeSlashes = false}), R"({"path":"a/b\"/"})");
  EXPECT_EQ(encodeJson(json::array({1, "x", nullptr, true})), R"([1,"x",null,true])");
  EXPECT_EQ(encodeJson(json("quote\" back\\ nl\n tab\t \x01")),
            R"("quote\" back\\ nl\n tab\t \u0001")");
  EXPECT_EQ(encodeJson(json("é 日本 🙂")), "\"é 日本 🙂\"");
}

TEST(JsonEncoding, WritesDatesAsSecondsSince2001) {
  EXPECT_EQ(encodeJson(json(Date::fromReferenceDate(0))), "0");
  EXPECT_EQ(encodeJson(json(Date::fromUnixTime(0))), "-978307200");
  EXPECT_EQ(encodeJson(json(Date::fromReferenceDate(1.5))), "1.5");
  EXPECT_EQ(encodeJson(json(0.1)), "0.1");
}

TEST(JsonEncoding, NonFiniteNumbersFail) {
  for (const double bad :
       {std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
        std::numeric_limits<double>::quiet_NaN()}) {
    EXPECT_THROW(encodeJson(json{{"x", json::array({bad})}}), JsonEncodingError);
  }
}

// Plain runs are copied whole around what is escaped or replaced; invalid UTF-8 becomes one
// U+FFFD per maximal ill-formed subpart.
TEST(JsonEncoding, StringsMixPlainRunsWithEscapesAndInvalidUtf8) {
  const std::string fffd = "\xEF\xBF\xBD";
  struct Case {
    std::string raw;
    std::string encoded;
  };
  const Case cases[] = {
      {"", R"("")"},
      {"plain words only", R"("plain words only")"},
      {"say \"hi\" \\ a/b/", R"("say \"hi\" \\ a\/b\/")"},
      {"one\ntwo\tthree\r\b\f", R"("one\ntwo\tthree\r\b\f")"},
      {std::string("nul\0\x01\x1f end\x7f", 11), "\"nul\\u0000\\u0001\\u001f end\x7f\""},
      {"café 日本 \xE2\x80\xA8 🙂/", "\"café 日本 \xE2\x80\xA8 🙂\\/\""},
      {"a\xFF"
       "b",
       "\"a" + fffd + "b\""},
      {"\"\xFF\"", "\"\\\"" + fffd + "\\\"\""},
      // A cut sequence is one subpart; an overlong form and a surrogate are one per byte.
      {"x\xE2\x82y\xF0\x9F\x99", "\"x" + fffd + "y" + fffd + "\""},
      {"\xC0\xAF/\xED\xA0\x80", "\"" + fffd + fffd + "\\/" + fffd + fffd + fffd + "\""},
      {"\x80\x80 text\n", "\"" + fffd + fffd + " text\\n\""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(encodeJson(json(c.raw)), c.encoded) << c.raw;
    // Keys follow the same rules.
    EXPECT_EQ(encodeJson(json{{c.raw, 1}}), "{" + c.encoded + ":1}") << c.raw;
  }
  EXPECT_EQ(encodeJson(json("a/\xFF/"), {.escapeSlashes = false}), "\"a/" + fffd + "/\"");
}

TEST(JsonDecoding, RecordRoundTrips) {
  const Sample sample{"a/b", 3, 0.25, Date::fromReferenceDate(12.5), {"x", "y"}};
  const std::string text = encodeJson(json(sample));
  EXPECT_EQ(decodeJson<Sample>(text), sample);
  const Sample withoutRatio{"n", 1, std::nullopt, Date(), {}};
  EXPECT_EQ(decodeJson<Sample>(encodeJson(json(withoutRatio))), withoutRatio);
  EXPECT_EQ(encodeJson(json(withoutRatio)).find("ratio"), std::string::npos);
}

TEST(JsonDecoding, IgnoresUnknownKeysAndReadsNullAsAbsent) {
  const auto s =
      decodeJson<Sample>(R"({"name":"n","count":2,"createdAt":0,"tags":[],"ratio":null,"x":1})");
  EXPECT_FALSE(s.ratio.has_value());
  EXPECT_EQ(s.count, 2);
}

TEST(JsonDecoding, IntegersAreStrict) {
  EXPECT_EQ(decodeJson<int>("3"), 3);
  EXPECT_EQ(decodeJson<int>("3.0"), 3);
  EXPECT_EQ(decodeJson<std::int64_t>("-9007199254740993"), -9007199254740993LL);
  for (const char* bad : {"3.5", "\"1\"", "true", "1e300", "2147483648", "[]"}) {
    EXPECT_THROW(decodeJson<int>(bad), JsonDecodingError) << bad;
  }
  EXPECT_THROW(decodeJson<unsigned>("-1"), JsonDecodingError);

  // Integers written with a fraction at the edges of the 64-bit ranges: 2^63 and 2^64 are one
  // past the largest values and must not wrap around.
  EXPECT_EQ(decodeJson<std::int64_t>("-9223372036854775808.0"),
            std::numeric_limits<std::int64_t>::min());
  EXPECT_EQ(decodeJson<int>("2147483647.0"), std::numeric_limits<int>::max());
  EXPECT_THROW(decodeJson<int>("2147483648.0"), JsonDecodingError);
  for (const char* bad : {"9223372036854775808.0", "9.3e18"}) {
    EXPECT_THROW(decodeJson<std::int64_t>(bad), JsonDecodingError) << bad;
  }
  EXPECT_THROW(decodeJson<std::uint64_t>("18446744073709551616.0"), JsonDecodingError);
}

TEST(JsonDecoding, OtherTypesAreStrict) {
  EXPECT_THROW(decodeJson<std::string>("7"), JsonDecodingError);
  EXPECT_THROW(decodeJson<bool>("1"), JsonDecodingError);
  EXPECT_THROW(decodeJson<double>("\"1.5\""), JsonDecodingError);
  EXPECT_EQ(decodeJson<double>("2"), 2.0);
  EXPECT_EQ(decodeJson<std::optional<int>>("null"), std::nullopt);
}

TEST(JsonDecoding, ErrorsNameTheKeyPath) {
  struct Case {
    const char* text;
    JsonDecodingError::Kind kind;
    const char* path;
  };
  const Case cases[] = {
      {R"({"count":1,"createdAt":0,"tags":[]})", JsonDecodingError::Kind::keyNotFound, "name"},
      {R"({"name":"n","count":3.5,"createdAt":0,"tags":[]})", JsonDecodingError::Kind::typeMismatch,
       "count"},
      {R"({"name":"n","count":1,"createdAt":0,"tags":["a",2]})",
       JsonDecodingError::Kind::typeMismatch, "tags[1]"},
      {R"({"name":null,"count":1,"createdAt":0,"tags":[]})", JsonDecodingError::Kind::valueNotFound,
       "name"},
      {R"({"name":"n","count":1,"createdAt":"2001","tags":[]})",
       JsonDecodingError::Kind::typeMismatch, "createdAt"},
      {R"({"name":"n",)", JsonDecodingError::Kind::dataCorrupted, ""},
      {R"([1])", JsonDecodingError::Kind::typeMismatch, ""},
  };
  for (const auto& c : cases) {
    try {
      decodeJson<Sample>(c.text);
      ADD_FAILURE() << "decoded " << c.text;
    } catch (const JsonDecodingError& e) {
      EXPECT_EQ(e.kind(), c.kind) << c.text;
      EXPECT_EQ(e.codingPath(), c.path) << c.text;
      if (*c.path) {
        EXPECT_NE(std::string(e.what()).find(c.path), std::string::npos) << e.what();
      }
    }
  }
}

TEST(JsonDecoding, NestedPathsJoinWithDotsAndIndexes) {
  try {
    requiredField<std::vector<std::map<std::string, Sample>>>(
        json::parse(R"({"list":[{"a":{"name":"n","count":"1","createdAt":0,"tags":[]}}]})"),
        "list");
    ADD_FAILURE();
  } catch (const JsonDecodingError& e) {
    EXPECT_EQ(e.codingPath(), "list[0].a.count");
  }
}

TEST(JsonDecoding, NullRecordIsAMissingValue) {
  try {
    requiredField<Sample>(json::parse(R"({"sample":null})"), "sample");
    ADD_FAILURE();
  } catch (const JsonDecodingError& e) {
    EXPECT_EQ(e.kind(), JsonDecodingError::Kind::valueNotFound);
    EXPECT_EQ(e.codingPath(), "sample");
  }
  EXPECT_EQ(optionalField<Sample>(json::parse(R"({"sample":null})"), "sample"), std::nullopt);
}

std::string nested(int depth, std::string_view open, std::string_view close) {
  std::string text;
  for (int i = 0; i < depth; ++i) text += open;
  for (int i = 0; i < depth; ++i) text += close;
  return text;
}

TEST(JsonDecoding, NestingDeeperThanTheLimitIsRefusedBeforeAnyValueIsBuilt) {
  EXPECT_NO_THROW(parseJson(nested(kMaxJsonNesting, "[", "]")));
  EXPECT_NO_THROW(parseJson(nested(kMaxJsonNesting / 2, "{\"a\":[", "]}")));
  // Brackets inside strings, escaped quotes among them, are text, not nesting.
  EXPECT_NO_THROW(parseJson("[\"" + std::string(2000, '[') + "\\\"{{{\"]"));
  for (const std::string& deep :
       {nested(kMaxJsonNesting + 1, "[", "]"), "{\"error\":" + nested(15000, "[", "]") + "}",
        nested(20000, "{\"a\":", "}")}) {
    try {
      parseJson(deep);
      ADD_FAILURE() << "parsed " << deep.size() << " bytes";
    } catch (const JsonDecodingError& e) {
      EXPECT_EQ(e.kind(), JsonDecodingError::Kind::dataCorrupted);
      EXPECT_NE(std::string(e.what()).find("nested"), std::string::npos) << e.what();
    }
  }
}

TEST(JsonEncoding, NestingDeeperThanTheLimitIsRefused) {
  json value = 1;
  for (int depth = 1; depth <= kMaxJsonNesting; ++depth) {
    json wrapper = json::array();
    wrapper.push_back(std::move(value));
    value = std::move(wrapper);
  }
  EXPECT_EQ(encodeJson(value), nested(kMaxJsonNesting, "[", "]").insert(kMaxJsonNesting, "1"));
  json deeper = json::object();
  deeper["a"] = std::move(value);
  EXPECT_THROW(encodeJson(deeper), JsonEncodingError);
}

}  // namespace
}  // namespace tessra::platform
