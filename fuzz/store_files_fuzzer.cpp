// The store's files as the store reads them: "conversations.json" and a session file, whose
// attachment paths are re-based onto the files folder as they are read.
//
// Input: one byte that chooses the file, then its content.
// Rules: what was read writes back to a file that reads as the same record (a save after a load
// loses nothing); every attachment path read is a file URL of a plain name inside the files
// folder (or the folder itself), however the file spells it, and re-basing it again changes
// nothing.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "Tessra/storage/chat_message.h"
#include "Tessra/storage/chat_session.h"
#include "Tessra/storage/conversation.h"
#include "Tessra/storage/paths.h"
#include "fuzz/fuzz_support.h"
#include "platform/foundation/json.h"
#include "platform/foundation/percent_encoding.h"

namespace {

using namespace tessra;

template <class Record>
void checkRoundTrip(const Record& record) {
  nlohmann::json written;
  to_json(written, record);
  FUZZ_CHECK(platform::decodeJson<Record>(platform::encodeJson(written)) == record);
}

void checkAttachmentPath(const std::optional<std::string>& url) {
  if (!url) return;
  constexpr std::string_view kScheme = "file://";
  FUZZ_CHECK(url->starts_with(kScheme));
  const auto path = platform::percentDecode(std::string_view(*url).substr(kScheme.size()));
  FUZZ_CHECK(path.has_value());
  const std::string& folder = Paths::filesDirectory().rawValue();
  FUZZ_CHECK(path->starts_with(folder));
  const std::string name = path->substr(folder.size());
  FUZZ_CHECK(name.empty() || isPlainFileName(name));
  FUZZ_CHECK(rebasedFileUrl(*url, Paths::filesDirectory()) == url);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::quietLogs();
  ::setenv("TESSRA_DATA_DIR", fuzz::scratchFolder().c_str(), 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::string_view content = fuzz::text(data + 1, size - 1);
  try {
    if (data[0] % 2 == 0) {
      checkRoundTrip(platform::decodeJson<ConversationList>(content));
      return 0;
    }
    const auto session = platform::decodeJson<ChatSession>(content);
    checkRoundTrip(session);
    const auto checkFile = [](const ChatMessageFile& file) {
      checkAttachmentPath(file.path);
      checkAttachmentPath(file.thumbnailPath);
    };
    for (const ChatMessage& message : session.messages) {
      if (message.questionFile) checkFile(*message.questionFile);
      if (message.answerFiles) std::ranges::for_each(*message.answerFiles, checkFile);
    }
  } catch (const platform::JsonDecodingError&) {
  }
  return 0;
}
