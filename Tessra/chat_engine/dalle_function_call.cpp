#include "Tessra/chat_engine/dalle_function_call.h"

#include <QImage>

#include <memory>
#include <utility>
#include <vector>

#include "Tessra/chat_engine/pending_result.h"
#include "Tessra/image_files/image_download.h"
#include "Tessra/image_files/image_helpers.h"
#include "Tessra/storage/paths.h"
#include "aiclient/ai_client.h"
#include "aiclient/model.h"
#include "platform/foundation/json.h"

namespace tessra {

namespace {

using FunctionDefinition = aiclient::ChatCompletionToolParam::FunctionDefinition;
using FunctionParameters = FunctionDefinition::FunctionParameters;

constexpr const char* kDescription =
    "Generates images with DALL-E 3 from image descriptions. Guidelines: translate "
    "descriptions into English; do not depict politicians or public figures; do not "
    "copy artists whose latest work is less than 100 years old, while older artists "
    "may be named.\n"
    "Writing prompts: replace an artist's name with adjectives describing the "
    "style, and name the artistic era and the primary medium; state the image type "
    "(photo, oil painting, watercolor); state descent and gender of people "
    "explicitly; avoid offence and bias; hide identities except gender and "
    "physique; keep references to text in the image; replace profession titles with "
    "general terms.\n"
    "Do not change a prompt except to anonymise people. Replace the names of "
    "creative professionals or studios with a description of their style, and "
    "describe every part of the image objectively in a paragraph of more than three "
    "sentences.\n"
    "Important: the images are shown to the user automatically after this call, so "
    "do not include them again in your answer.";

constexpr double kThumbnailDimension = 400;
constexpr double kThumbnailMegabytes = 0.25;

ChatMessageFile imageFile(const std::string& url) {
  ChatMessageFile file;
  file.path = url;
  file.type = ChatMessageFile::ChatMessageFileType::image;
  return file;
}

// Files written by one run; removed unless the run hands them over.
class RunFiles {
 public:
  ~RunFiles() {
    if (!m_handedOver) removeAttachmentFiles(m_files);
  }
  RunFiles() = default;
  RunFiles(const RunFiles&) = delete;
  RunFiles& operator=(const RunFiles&) = delete;

  ChatMessageFile& add(ChatMessageFile file) { return m_files.emplace_back(std::move(file)); }
  bool empty() const { return m_files.empty(); }
  std::vector<ChatMessageFile> handOver() {
    m_handedOver = true;
    return std::move(m_files);
  }

 private:
  std::vector<ChatMessageFile> m_files;
  bool m_handedOver = false;
};

aiclient::ImagesResult requestImages(const aiclient::ImagesQuery& query,
                                     const ToolContext& context) {
  aiclient::AIClient client(context.apiKey);
  auto pending = std::make_shared<PendingResult<aiclient::ImagesResult>>();
  // The image request cannot be aborted; a stop stops waiting for it.
  const Cancellation::Registration stop =
      context.cancellation->onCancel([pending] { pending->cancel(); });
  client.images(
      query, [pending](Result<aiclient::ImagesResult> result) { pending->set(std::move(result)); });
  return pending->take();
}

DownloadedImage download(const std::string& url, const files::Path& folder,
                         const ToolContext& context) {
  auto pending = std::make_shared<PendingResult<DownloadedImage>>();
  platform::UrlTask task = downloadImage(
      url, folder, [pending](Result<DownloadedImage> result) { pending->set(std::move(result)); });
  const Cancellation::Registration stop = context.cancellation->onCancel([pending, task]() mutable {
    task.cancel();
    pending->cancel();
  });
  DownloadedImage image = pending->take();
  if (context.cancellation->isCancelled()) {
    // The download may have stored its file just before the stop.
    if (image.fileUrl) removeAttachmentFiles({imageFile(*image.fileUrl)});
    throw RequestCancelledError();
  }
  return image;
}

}  // namespace

DalleFunctionCall::DalleFunctionCall(std::optional<files::Path> filesFolder)
    : m_filesFolder(std::move(filesFolder)) {}

const FunctionDefinition& DalleFunctionCall::functionDeclaration() {
  static const FunctionDefinition definition{
      .name = std::string(kName),
      .description = kDescription,
      .parameters = FunctionParameters{
          .type = FunctionParameters::JSONType::object,
          .properties =
              std::map<std::string, FunctionParameters::Property>{
                  {"prompt",
                   {.type = FunctionParameters::JSONType::string,
                    .description = "The description of the image as defined in the guidelines."}}},
          .required = std::vector<std::string>{"prompt"}}};
  return definition;
}

FunctionDefinition DalleFunctionCall::declaration() const { return functionDeclaration(); }

files::Path DalleFunctionCall::folder() const {
  return m_filesFolder ? *m_filesFolder : Paths::filesDirectory();
}

std::string DalleFunctionCall::promptOf(const std::string& arguments) {
  try {
    const nlohmann::json object = platform::parseJson(arguments);
    if (object.is_object()) {
      const auto prompt = object.find("prompt");
      if (prompt != object.end() && prompt->is_string()) return prompt->get<std::string>();
    }
  } catch (const platform::JsonDecodingError&) {
    // Arguments that are no JSON are the prompt itself.
  }
  return arguments;
}

FunctionResult DalleFunctionCall::execute(const std::string& arguments,
                                          const ToolContext& context) const {
  context.cancellation->throwIfCancelled();
  const aiclient::ImagesQuery query{.prompt = promptOf(arguments),
                                    .model = std::string(aiclient::Model::dall_e_3),
                                    .responseFormat = aiclient::ImagesQuery::ResponseFormat::url,
                                    .n = 1,
                                    .size = aiclient::ImagesQuery::Size::_1024};
  const aiclient::ImagesResult result = requestImages(query, context);

  const files::Path target = folder();
  RunFiles files;
  // Why a picture the service made does not reach the user.
  std::vector<std::string> failures;
  for (const aiclient::ImagesResult::Image& image : result.data) {
    if (!image.url) continue;
    context.cancellation->throwIfCancelled();
    DownloadedImage downloaded;
    try {
      downloaded = download(*image.url, target, context);
    } catch (const UnreadableImageError& error) {
      failures.emplace_back(error.what());
      continue;
    }
    if (!downloaded.fileUrl) {
      failures.emplace_back("the image could not be stored");
      continue;
    }
    ChatMessageFile& file = files.add(imageFile(*downloaded.fileUrl));
    if (auto thumbnail = compressed(downloaded.image, kThumbnailDimension, kThumbnailMegabytes))
      file.thumbnailPath = saveAsJPEGFile(thumbnail->image, target);
  }
  // A stop during the last thumbnail still counts: nobody will attach these files.
  context.cancellation->throwIfCancelled();
  if (files.empty() && failures.empty()) failures.emplace_back("the service sent no image");
  if (failures.empty()) return {std::string(kResultText), files.handOver(), std::nullopt};
  // The model hears what the user sees, so its answer never speaks of a picture that is not there.
  std::string failure;
  for (const std::string& reason : failures) failure += (failure.empty() ? "" : "; ") + reason;
  return {std::string(kFailureText) + failure + ".", files.handOver(), std::move(failure)};
}

}  // namespace tessra
