#include "platform/foundation/shared_text.h"

#include <utility>

#include "platform/foundation/json.h"

namespace tessra::platform {

namespace {

// Every empty text shares one buffer, so that a record made empty costs no allocation.
const std::shared_ptr<const std::string>& emptyText() {
  static const auto empty = std::make_shared<const std::string>();
  return empty;
}

}  // namespace

SharedText::SharedText() : m_text(emptyText()) {}

SharedText::SharedText(std::string text)
    : m_text(text.empty() ? emptyText() : std::make_shared<const std::string>(std::move(text))) {}

void to_json(nlohmann::json& j, const SharedText& text) { j = text.str(); }

void from_json(const nlohmann::json& j, SharedText& text) { text = decodeValue<std::string>(j); }

}  // namespace tessra::platform
