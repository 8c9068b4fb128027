// The service's whole answers as the client reads them: a chat result, an image result, the
// error envelope of a failed request, and the arguments the model gives the image tool.
//
// Input: one byte that chooses the status (a success or an error), then the body.
// Rules: a result that was read writes back to JSON that reads as the same result; a failed
// request always gives an error to show.
#include <cstddef>
#include <cstdint>

#include "Tessra/chat_engine/dalle_function_call.h"
#include "aiclient/chat_result.h"
#include "aiclient/images_result.h"
#include "aiclient/responses.h"
#include "fuzz/fuzz_support.h"
#include "platform/foundation/json.h"

namespace {

using namespace tessra;

platform::UrlData answer(int status, std::string_view body) {
  platform::UrlData data;
  data.response.statusCode = status;
  data.body.assign(body.begin(), body.end());
  return data;
}

template <class R>
void readResult(int status, std::string_view body) {
  const Result<R> result = aiclient::decodeResponse<R>(answer(status, body));
  if (!result) {
    FUZZ_CHECK(result.error() != nullptr);
    return;
  }
  FUZZ_CHECK(status >= 200 && status < 300);
  nlohmann::json written;
  to_json(written, *result);
  FUZZ_CHECK(platform::decodeJson<R>(platform::encodeJson(written)) == *result);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::quietLogs();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const int status = data[0] < 192 ? 200 : 400 + data[0] % 64;
  const std::string_view body = fuzz::text(data + 1, size - 1);
  readResult<aiclient::ChatResult>(status, body);
  readResult<aiclient::ImagesResult>(status, body);
  FUZZ_CHECK(aiclient::errorForFailedResponse(status, body) != nullptr);
  (void)DalleFunctionCall::promptOf(std::string(body));
  return 0;
}
