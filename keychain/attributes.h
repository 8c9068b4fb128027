// What the keychain knows about one item: `Attributes` wraps the raw dictionary a read returns,
// with a typed accessor per attribute (absent when the entry is missing or of another kind);
// `ItemRecord` is the flat, text-keyed summary that the listings return.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "platform/foundation/date.h"
#include "platform/security/item_dictionary.h"

namespace tessra::keychain {

class Attributes {
 public:
  explicit Attributes(platform::security::Dictionary attributes)
      : m_attributes(std::move(attributes)) {}

  const platform::security::Dictionary& attributes() const { return m_attributes; }
  // The raw entry of any key.
  const platform::security::Value* operator[](std::string_view key) const;

  std::optional<std::string> itemClass() const;
  std::optional<Bytes> data() const;
  std::optional<Bytes> ref() const;
  std::optional<Bytes> persistentRef() const;
  std::optional<std::string> accessible() const;
  std::shared_ptr<const platform::security::AccessControl> accessControl() const;
  std::optional<std::string> accessGroup() const;
  std::optional<bool> synchronizable() const;
  std::optional<platform::Date> creationDate() const;
  std::optional<platform::Date> modificationDate() const;
  std::optional<std::string> attributeDescription() const;
  std::optional<std::string> comment() const;
  std::optional<std::string> creator() const;
  std::optional<std::string> type() const;
  std::optional<std::string> label() const;
  std::optional<bool> isInvisible() const;
  std::optional<bool> isNegative() const;
  std::optional<std::string> account() const;
  std::optional<std::string> service() const;
  std::optional<Bytes> generic() const;
  std::optional<std::string> securityDomain() const;
  std::optional<std::string> server() const;
  std::optional<std::string> protocol() const;
  std::optional<std::string> authenticationType() const;
  std::optional<std::int64_t> port() const;
  std::optional<std::string> path() const;

  // The dictionary's text; the data of the item shows as its size only.
  std::string description() const;
  std::string debugDescription() const { return description(); }

 private:
  platform::security::Dictionary m_attributes;
};

// One item of a listing: "class", "accessGroup", "service" or "server", "protocol",
// "authenticationType", "key", "value" (text when the data is UTF-8, else the bytes),
// "accessibility", "synchronizable".
using ItemRecordValue = std::variant<std::string, Bytes>;
using ItemRecord = std::map<std::string, ItemRecordValue, std::less<>>;

// A record's text, with its "value" left out, so that listing a keychain in a log never shows a
// secret.
std::string describe(const ItemRecord& record);

}  // namespace tessra::keychain
