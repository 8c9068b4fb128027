#include "Tessra/storage/chat_attachment.h"

#include <string_view>

namespace {

void combine(std::size_t& seed, std::size_t value) {
  seed ^= value + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2);
}

template <class Text>
void combineOptional(std::size_t& seed, const std::optional<Text>& text) {
  combine(seed, text.has_value());
  if (text) combine(seed, std::hash<std::string_view>{}(*text));
}

}  // namespace

std::size_t std::hash<tessra::ChatAttachment>::operator()(
    const tessra::ChatAttachment& attachment) const noexcept {
  std::size_t seed = 0;
  combine(seed, attachment.image != nullptr);
  if (attachment.image) combine(seed, std::hash<const void*>{}(attachment.image.get()));
  combineOptional(seed, attachment.text);
  combineOptional(seed, attachment.fileName);
  return seed;
}
