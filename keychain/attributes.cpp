#include "keychain/attributes.h"

#include <fmt/format.h>

#include "platform/security/item_constants.h"

namespace tessra::keychain {
namespace sec = platform::security;
namespace {

template <class T>
std::optional<T> typed(const Attributes& attributes, std::string_view key) {
  const sec::Value* value = attributes[key];
  if (!value) return std::nullopt;
  if (auto typedValue = std::get_if<T>(value)) return *typedValue;
  return std::nullopt;
}

}  // namespace

const sec::Value* Attributes::operator[](std::string_view key) const {
  auto it = m_attributes.find(key);
  return it == m_attributes.end() ? nullptr : &it->second;
}

std::optional<std::string> Attributes::itemClass() const {
  return typed<std::string>(*this, sec::kSecClass);
}
std::optional<Bytes> Attributes::data() const { return typed<Bytes>(*this, sec::kSecValueData); }
std::optional<Bytes> Attributes::ref() const { return typed<Bytes>(*this, sec::kSecValueRef); }
std::optional<Bytes> Attributes::persistentRef() const {
  return typed<Bytes>(*this, sec::kSecValuePersistentRef);
}
std::optional<std::string> Attributes::accessible() const {
  return typed<std::string>(*this, sec::kSecAttrAccessible);
}
std::shared_ptr<const sec::AccessControl> Attributes::accessControl() const {
  return typed<std::shared_ptr<const sec::AccessControl>>(*this, sec::kSecAttrAccessControl)
      .value_or(nullptr);
}
std::optional<std::string> Attributes::accessGroup() const {
  return typed<std::string>(*this, sec::kSecAttrAccessGroup);
}
std::optional<bool> Attributes::synchronizable() const {
  return typed<bool>(*this, sec::kSecAttrSynchronizable);
}
std::optional<platform::Date> Attributes::creationDate() const {
  return typed<platform::Date>(*this, sec::kSecAttrCreationDate);
}
std::optional<platform::Date> Attributes::modificationDate() const {
  return typed<platform::Date>(*this, sec::kSecAttrModificationDate);
}
std::optional<std::string> Attributes::attributeDescription() const {
  return typed<std::string>(*this, sec::kSecAttrDescription);
}
std::optional<std::string> Attributes::comment() const {
  return typed<std::string>(*this, sec::kSecAttrComment);
}
std::optional<std::string> Attributes::creator() const {
  return typed<std::string>(*this, sec::kSecAttrCreator);
}
std::optional<std::string> Attributes::type() const {
  return typed<std::string>(*this, sec::kSecAttrType);
}
std::optional<std::string> Attributes::label() const {
  return typed<std::string>(*this, sec::kSecAttrLabel);
}
std::optional<bool> Attributes::isInvisible() const {
  return typed<bool>(*this, sec::kSecAttrIsInvisible);
}
std::optional<bool> Attributes::isNegative() const {
  return typed<bool>(*this, sec::kSecAttrIsNegative);
}
std::optional<std::string> Attributes::account() const {
  return typed<std::string>(*this, sec::kSecAttrAccount);
}
std::optional<std::string> Attributes::service() const {
  return typed<std::string>(*this, sec::kSecAttrService);
}
std::optional<Bytes> Attributes::generic() const {
  return typed<Bytes>(*this, sec::kSecAttrGeneric);
}
std::optional<std::string> Attributes::securityDomain() const {
  return typed<std::string>(*this, sec::kSecAttrSecurityDomain);
}
std::optional<std::string> Attributes::server() const {
  return typed<std::string>(*this, sec::kSecAttrServer);
}
std::optional<std::string> Attributes::protocol() const {
  return typed<std::string>(*this, sec::kSecAttrProtocol);
}
std::optional<std::string> Attributes::authenticationType() const {
  return typed<std::string>(*this, sec::kSecAttrAuthenticationType);
}
std::optional<std::int64_t> Attributes::port() const {
  return typed<std::int64_t>(*this, sec::kSecAttrPort);
}
std::optional<std::string> Attributes::path() const {
  return typed<std::string>(*this, sec::kSecAttrPath);
}

std::string Attributes::description() const { return sec::describe(m_attributes); }

std::string describe(const ItemRecord& record) {
  std::string text = "[";
  for (const auto& [key, value] : record) {
    if (key == "value") continue;
    if (text.size() > 1) text += ", ";
    if (auto textValue = std::get_if<std::string>(&value)) {
      text += fmt::format("{}: \"{}\"", key, *textValue);
    } else {
      text += fmt::format("{}: <{} bytes>", key, std::get<Bytes>(value).size());
    }
  }
  if (text.size() == 1) text += ":";
  text += "]";
  return text;
}

}  // namespace tessra::keychain
