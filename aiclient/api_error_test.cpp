#include "aiclient/api_error.h"

#include <gtest/gtest.h>

#include <unordered_set>

#include "aiclient/client_error.h"
#include "aiclient/json_test_support.h"

namespace tessra::aiclient {
namespace {

using namespace testing;
using Kind = JsonDecodingError::Kind;

TEST(APIErrorResponseWire, ReadsTheEnvelope) {
  const auto response = decode<APIErrorResponse>(
      R"({"error":{"message":"Incorrect API key provided.","type":"invalid_request_error",)"
      R"("param":null,"code":"invalid_api_key","extra":1}})");
  EXPECT_EQ(response.error.message, "Incorrect API key provided.");
  EXPECT_EQ(response.error.type, "invalid_request_error");
  EXPECT_EQ(response.error.param, std::nullopt);
  EXPECT_EQ(response.error.code, "invalid_api_key");
  EXPECT_STREQ(response.what(), "Incorrect API key provided.");
  EXPECT_STREQ(response.error.what(), "Incorrect API key provided.");

  const auto bare = decode<APIErrorResponse>(R"({"error":{"message":"m","type":"t"}})");
  EXPECT_EQ(bare.error, (APIError("m", "t")));
}

TEST(APIErrorResponseWire, ListedMessagesAreJoinedByLineFeeds) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {R"(["first","second"])", "first\nsecond"},
      {R"(["only"])", "only"},
      {R"([])", ""},
      {R"("plain")", "plain"},
  };
  for (const auto& [message, expected] : cases) {
    const auto response =
        decode<APIErrorResponse>(R"({"error":{"type":"t","message":)" + message + "}}");
    EXPECT_EQ(response.error.message, expected) << message;
  }
}

TEST(APIErrorResponseWire, MessageOfAnyOtherKindFailsTheSameWay) {
  for (const auto* error : {R"({"type":"t","message":3})", R"({"type":"t","message":null})",
                            R"({"type":"t"})", R"({"type":"t","message":["a",1]})"}) {
    const auto failure = decodingError<APIErrorResponse>(std::string(R"({"error":)") + error + "}");
    ASSERT_TRUE(failure) << error;
    EXPECT_EQ(failure->kind(), Kind::typeMismatch) << error;
    EXPECT_EQ(failure->codingPath(), "message") << error;
    EXPECT_EQ(failure->detail(), "message: expected String or [String]") << error;
  }
}

TEST(APIErrorResponseWire, OtherBadEnvelopesFailNamingTheKey) {
  expectDecodingErrors<APIErrorResponse>({
      {R"({"error":{"message":"m"}})", "error.type", Kind::keyNotFound},
      {R"({"error":{"message":"m","type":null}})", "error.type", Kind::valueNotFound},
      {R"({"error":{"message":"m","type":"t","code":429}})", "error.code", Kind::typeMismatch},
      {R"({"error":{"message":"m","type":"t","param":false}})", "error.param", Kind::typeMismatch},
      {R"({"error":"m"})", "error", Kind::typeMismatch},
      {R"({"message":"m","type":"t"})", "error", Kind::keyNotFound},
      {R"({"error":{"message":"m")", "", Kind::dataCorrupted},
  });
}

TEST(APIErrorResponse, TravelsAsAnErrorWithTheServicesMessage) {
  const auto envelope = decode<APIErrorResponse>(R"({"error":{"message":["a","b"],"type":"t"}})");
  const ErrorPtr error = std::make_exception_ptr(envelope);
  EXPECT_EQ(describe(error), "a\nb");
  try {
    std::rethrow_exception(error);
  } catch (const APIErrorResponse& caught) {
    EXPECT_EQ(caught, envelope);
  }
  EXPECT_EQ(decode<APIErrorResponse>(wire(envelope)), envelope);
}

}  // namespace
}  // namespace tessra::aiclient
