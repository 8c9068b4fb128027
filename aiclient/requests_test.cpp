#include "aiclient/requests.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "aiclient/chat_result.h"
#include "aiclient/client_test_support.h"
#include "aiclient/responses.h"
#include "platform/foundation/json.h"

namespace tessra::aiclient {
namespace {

using platform::HttpHeaders;
using testing::errorAs;
using testing::kEnvelope;

std::string text(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

TEST(JSONRequest, CarriesTheJsonHeadersInOrderAndTheCompactBody) {
  const auto request = JSONRequest("http://h:1/x", "POST", nlohmann::json{{"path", "a/b"}})
                           .build("sk-1", std::string("org-9"), 60.0);
  ASSERT_TRUE(request);
  EXPECT_EQ(request->method, "POST");
  EXPECT_EQ(request->url, "http://h:1/x");
  EXPECT_EQ(request->headers, (HttpHeaders{{"Content-Type", "application/json"},
                                           {"Authorization", "Bearer sk-1"},
                                           {"OpenAI-Organization", "org-9"}}));
  EXPECT_EQ(text(request->body), R"({"path":"a\/b"})");
  EXPECT_EQ(request->idleTimeout, std::chrono::seconds(60));
}

TEST(JSONRequest, AGetWithoutBodyStillNamesJsonAndSendsNoOrganizationWhenThereIsNone) {
  const auto request = JSONRequest("http://h:1/v1/models", "GET").build("", std::nullopt, 1.5);
  ASSERT_TRUE(request);
  EXPECT_EQ(request->headers,
            (HttpHeaders{{"Content-Type", "application/json"}, {"Authorization", "Bearer "}}));
  EXPECT_TRUE(request->body.empty());
  EXPECT_EQ(request->idleTimeout, std::chrono::milliseconds(1500));
}

TEST(JSONRequest, CredentialsLoseSurroundingWhiteSpaceButNeverCarryALineBreak) {
  struct Case {
    std::string token;
    std::optional<std::string> authorization;  // nothing: the request must not be built
  };
  const Case cases[] = {
      {"sk-abc\n", "Bearer sk-abc"},
      {"  sk-abc \r\n", "Bearer sk-abc"},
      {"\tsk-abc", "Bearer sk-abc"},
      {"sk-a bc", "Bearer sk-a bc"},
      {"sk-a\nX-Injected: 1", std::nullopt},
      {"sk-a\rb", std::nullopt},
      {std::string("sk-a\0b", 6), std::nullopt},
  };
  for (const auto& c : cases) {
    const auto request = JSONRequest("http://h:1/x", "GET").build(c.token, {}, 60);
    if (!c.authorization) {
      ASSERT_FALSE(request) << c.token;
      const auto error = errorAs<InvalidHeaderValueError>(request.error());
      ASSERT_TRUE(error);
      EXPECT_EQ(error->headerName(), "Authorization");
      continue;
    }
    ASSERT_TRUE(request) << c.token;
    EXPECT_EQ(request->header("Authorization"), c.authorization);
  }
  const auto badOrganization =
      JSONRequest("http://h:1/x", "GET").build("sk", std::string("o\nrg"), 60);
  ASSERT_FALSE(badOrganization);
  EXPECT_EQ(errorAs<InvalidHeaderValueError>(badOrganization.error())->headerName(),
            "OpenAI-Organization");
}

TEST(JSONRequest, TimeoutsThatAreNoPositiveNumberSetNoLimit) {
  for (double timeout : {0.0, -1.0, std::nan(""), std::numeric_limits<double>::infinity()}) {
    const auto request = JSONRequest("http://h:1/x", "GET").build("", {}, timeout);
    ASSERT_TRUE(request);
    if (std::isinf(timeout)) {
      EXPECT_GT(request->idleTimeout, std::chrono::hours(24 * 365));
    } else {
      EXPECT_EQ(request->idleTimeout, std::chrono::milliseconds(0)) << timeout;
    }
  }
}

class Upload : public MultipartFormDataBodyEncodable {
 public:
  Bytes encode(const std::string& boundary) const override {
    return MultipartFormDataBodyBuilder(boundary, {MultipartFormDataEntry::string("model", "m")})
        .build();
  }
};

TEST(MultipartFormDataRequest, NamesItsFreshBoundaryInTheHeaderAndTheBody) {
  const MultipartFormDataRequest request(std::make_shared<Upload>(), "http://h:1/v1/images/edits");
  const auto first = request.build("sk", std::string("org"), 60);
  const auto second = request.build("sk", std::string("org"), 60);
  ASSERT_TRUE(first && second);
  EXPECT_EQ(first->method, "POST");
  ASSERT_EQ(first->headers.size(), 3u);
  EXPECT_EQ(first->headers[0], (std::pair<std::string, std::string>{"Authorization", "Bearer sk"}));
  EXPECT_EQ(first->headers[1].first, "Content-Type");
  EXPECT_EQ(first->headers[2], (std::pair<std::string, std::string>{"OpenAI-Organization", "org"}));

  const std::string prefix = "multipart/form-data; boundary=";
  ASSERT_TRUE(first->headers[1].second.starts_with(prefix));
  const std::string boundary = first->headers[1].second.substr(prefix.size());
  EXPECT_EQ(boundary.size(), 36u);
  EXPECT_EQ(text(first->body),
            "--" + boundary + "\r\nContent-Disposition: form-data; name=\"model\"\r\n\r\nm\r\n--" +
                boundary + "--\r\n");
  EXPECT_NE(first->header("Content-Type"), second->header("Content-Type"));
}

platform::UrlData answer(int status, std::string body) {
  return {.response = {.statusCode = status}, .body = Bytes(body.begin(), body.end())};
}

TEST(DecodeResponse, ErrorStatusesNeverSucceedAndSayWhatCame) {
  const std::string chatResult =
      R"({"id":"c","object":"chat.completion","created":1,"model":"m","choices":[]})";
  struct Case {
    int status;
    std::string body;
    std::string description;
  };
  const Case cases[] = {
      {401, kEnvelope, "Incorrect API key provided: sk-test."},
      {429, R"({"error":{"message":"Rate limit reached","type":"requests"}})",
       "Rate limit reached"},
      {500, "<html>\n  <body>Internal   Server Error</body>\n</html>",
       "HTTP 500: Internal Server Error"},
      // A page shows as its text: no tags, comments, scripts or styles, references read.
      {502,
       "  <!DOCTYPE html><html><head><title>502 Bad Gateway</title><style>p{color:red}</style>"
       "<SCRIPT>if (a<b) x();</SCRIPT></head><body><!-- <p>hidden</p> --><h1>Bad&nbsp;Gateway"
       "</h1><p>caf&#233; &amp; &#x1F642; &lt;nginx&gt;</p></body></html>",
       "HTTP 502: 502 Bad Gateway Bad Gateway café & 🙂 <nginx>"},
      {500, "<p>" + std::string(150, 'a') + "</p><p>" + std::string(150, 'b') + "</p>",
       "HTTP 500: " + std::string(150, 'a') + " " + std::string(49, 'b') + "…"},
      {500, "<html><body>" + std::string(300, '\xC3') + "</body></html>",
       "HTTP 500: " +
           [] {
             std::string replaced;
             for (int i = 0; i < 200; ++i) replaced += "\xEF\xBF\xBD";
             return replaced + "…";
           }()},
      {502, "", "HTTP 502"},
      // A record under an error status is still a failure.
      {503, chatResult, "HTTP 503: " + chatResult},
      {404, std::string(300, 'x'), "HTTP 404: " + std::string(200, 'x') + "…"},
      {500, "bad \xFF byte", "HTTP 500: bad \xEF\xBF\xBD byte"},
  };
  for (const auto& c : cases) {
    const auto result = decodeResponse<ChatResult>(answer(c.status, c.body));
    ASSERT_FALSE(result) << c.status;
    EXPECT_EQ(describe(result.error()), c.description);
  }
  const auto statusError =
      errorAs<HTTPStatusError>(decodeResponse<ChatResult>(answer(500, "<html>")).error());
  ASSERT_TRUE(statusError);
  EXPECT_EQ(statusError->statusCode(), 500);
}

TEST(DecodeResponse, ASuccessBodyIsTheRecordOrTheEnvelopeOrTheRecordsOwnError) {
  const auto record = decodeResponse<ChatResult>(
      answer(200, R"({"id":"c","object":"chat.completion","created":1,"model":"m","choices":[]})"));
  ASSERT_TRUE(record);
  EXPECT_EQ(record->id, "c");

  const auto envelope = decodeResponse<ChatResult>(answer(200, kEnvelope));
  ASSERT_FALSE(envelope);
  EXPECT_TRUE(errorAs<APIErrorResponse>(envelope.error()));

  for (const char* body : {"", "{}", "<html>"}) {
    const auto broken = decodeResponse<ChatResult>(answer(200, body));
    ASSERT_FALSE(broken) << body;
    EXPECT_TRUE(errorAs<platform::JsonDecodingError>(broken.error())) << body;
  }
}

}  // namespace
}  // namespace tessra::aiclient
