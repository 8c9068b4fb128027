#include "keychain/keychain.h"

#include <fmt/format.h>

#include "platform/foundation/logger.h"
#include "platform/foundation/utf8.h"
#include "platform/security/item_constants.h"

namespace tessra::keychain {
namespace sec = platform::security;
namespace {

void put(sec::Dictionary& dictionary, std::string_view key, sec::Value value) {
  dictionary.insert_or_assign(std::string(key), std::move(value));
}

std::string_view interactionText(const Options& options) {
  return rawValue(options.authenticationUI.value_or(AuthenticationUI::fail));
}

template <class T>
const T* entry(const sec::Dictionary& dictionary, std::string_view key) {
  auto it = dictionary.find(key);
  return it == dictionary.end() ? nullptr : std::get_if<T>(&it->second);
}

// Step K: the raw item dictionaries a listing query finds.
std::vector<sec::Dictionary> listItems(const sec::ItemStore& store, const sec::Dictionary& query) {
  sec::CopyResult result;
  sec::OSStatus status = store.copyMatching(query, &result);
  if (status == sec::kErrSecItemNotFound) return {};
  if (status == sec::kErrSecSuccess) {
    if (auto items = std::get_if<std::vector<sec::Dictionary>>(&result)) return std::move(*items);
  }
  securityError(status);
  return {};
}

ItemRecord toRecord(ItemClass itemClass, const sec::Dictionary& raw) {
  ItemRecord record;
  record.emplace("class", std::string(description(itemClass)));
  if (auto group = entry<std::string>(raw, sec::kSecAttrAccessGroup))
    record.emplace("accessGroup", *group);
  if (itemClass == ItemClass::genericPassword) {
    if (auto service = entry<std::string>(raw, sec::kSecAttrService))
      record.emplace("service", *service);
  } else {
    if (auto server = entry<std::string>(raw, sec::kSecAttrServer))
      record.emplace("server", *server);
    if (auto text = entry<std::string>(raw, sec::kSecAttrProtocol)) {
      if (auto protocol = fromRawValue<ProtocolType>(*text))
        record.emplace("protocol", std::string(description(*protocol)));
    }
    if (auto text = entry<std::string>(raw, sec::kSecAttrAuthenticationType)) {
      if (auto type = fromRawValue<AuthenticationType>(*text))
        record.emplace("authenticationType", std::string(description(*type)));
    }
  }
  if (auto account = entry<std::string>(raw, sec::kSecAttrAccount)) record.emplace("key", *account);
  if (auto data = entry<Bytes>(raw, sec::kSecValueData)) {
    std::string text = toString(*data);
    if (platform::isValidUtf8(text)) {
      record.emplace("value", std::move(text));
    } else {
      record.emplace("value", *data);
    }
  }
  if (auto text = entry<std::string>(raw, sec::kSecAttrAccessible)) {
    if (auto accessibility = fromRawValue<Accessibility>(*text))
      record.emplace("accessibility", std::string(description(*accessibility)));
  }
  if (auto flag = entry<bool>(raw, sec::kSecAttrSynchronizable))
    record.emplace("synchronizable", std::string(*flag ? "true" : "false"));
  return record;
}

sec::Dictionary classQuery(ItemClass itemClass) {
  sec::Dictionary query;
  put(query, sec::kSecClass, std::string(rawValue(itemClass)));
  put(query, sec::kSecMatchLimit, sec::MatchLimit::all);
  put(query, sec::kSecReturnAttributes, true);
  return query;
}

}  // namespace

Keychain::Keychain() : Keychain(std::string(kMainBundleIdentifier)) {}

Keychain Keychain::withAccessGroup(std::string accessGroup) {
  return Keychain(std::string(kMainBundleIdentifier), std::move(accessGroup));
}

Keychain::Keychain(std::string service, std::optional<std::string> accessGroup)
    : m_store(sec::loginKeyring()) {
  m_options.service = std::move(service);
  m_options.accessGroup = std::move(accessGroup);
}

Keychain::Keychain(ServerUrl server, ProtocolType protocolType,
                   std::optional<std::string> accessGroup, AuthenticationType authenticationType)
    : m_store(sec::loginKeyring()) {
  m_options.itemClass = ItemClass::internetPassword;
  m_options.server = std::move(server);
  m_options.protocolType = protocolType;
  m_options.accessGroup = std::move(accessGroup);
  m_options.authenticationType = authenticationType;
}

Keychain::Keychain(Options options, Store store)
    : m_options(std::move(options)), m_store(std::move(store)) {}

Keychain Keychain::withOptions(Options options) const {
  return Keychain(std::move(options), m_store);
}

Keychain Keychain::synchronizable(bool synchronizable) const {
  Options options = m_options;
  options.synchronizable = synchronizable;
  return withOptions(std::move(options));
}

Keychain Keychain::accessibility(Accessibility accessibility) const {
  Options options = m_options;
  options.accessibility = accessibility;
  return withOptions(std::move(options));
}

Keychain Keychain::accessibility(Accessibility accessibility, AuthenticationPolicy policy) const {
  Options options = m_options;
  options.accessibility = accessibility;
  options.authenticationPolicy = policy;
  return withOptions(std::move(options));
}

Keychain Keychain::label(std::string label) const {
  Options options = m_options;
  options.label = std::move(label);
  return withOptions(std::move(options));
}

Keychain Keychain::comment(std::string comment) const {
  Options options = m_options;
  options.comment = std::move(comment);
  return withOptions(std::move(options));
}

Keychain Keychain::attributes(const sec::Dictionary& attributes) const {
  Options options = m_options;
  for (const auto& [key, value] : attributes) options.attributes.insert_or_assign(key, value);
  return withOptions(std::move(options));
}

Keychain Keychain::authenticationPrompt(std::string prompt) const {
  Options options = m_options;
  options.authenticationPrompt = std::move(prompt);
  return withOptions(std::move(options));
}

Keychain Keychain::authenticationUI(AuthenticationUI ui) const {
  Options options = m_options;
  options.authenticationUI = ui;
  return withOptions(std::move(options));
}

Keychain Keychain::authenticationContext(
    std::shared_ptr<const sec::AuthenticationContext> context) const {
  Options options = m_options;
  options.authenticationContext = std::move(context);
  return withOptions(std::move(options));
}

Keychain Keychain::withStore(Store store) const { return Keychain(m_options, std::move(store)); }

KeychainResult<std::optional<Bytes>> Keychain::getData(std::string_view key,
                                                       bool ignoringAttributeSynchronizable) const {
  sec::Dictionary query = m_options.query(ignoringAttributeSynchronizable);
  put(query, sec::kSecMatchLimit, sec::MatchLimit::one);
  put(query, sec::kSecReturnData, true);
  put(query, sec::kSecAttrAccount, std::string(key));
  sec::CopyResult result;
  sec::OSStatus status = m_store->copyMatching(query, &result);
  if (status == sec::kErrSecItemNotFound) return std::nullopt;
  if (status != sec::kErrSecSuccess) return std::unexpected(securityError(status));
  auto data = std::get_if<Bytes>(&result);
  if (!data) return std::unexpected(Status::unexpectedError);
  return std::move(*data);
}

KeychainResult<std::optional<std::string>> Keychain::get(
    std::string_view key, bool ignoringAttributeSynchronizable) const {
  auto data = getData(key, ignoringAttributeSynchronizable);
  if (!data) return std::unexpected(data.error());
  if (!*data) return std::nullopt;
  std::string text = toString(**data);
  if (!platform::isValidUtf8(text)) {
    platform::logError("failed to convert data to string");
    return std::unexpected(Status::conversionError);
  }
  return text;
}

KeychainResult<std::optional<sec::Dictionary>> Keychain::copyAttributes(
    std::string_view key, bool ignoringAttributeSynchronizable) const {
  sec::Dictionary query = m_options.query(ignoringAttributeSynchronizable);
  put(query, sec::kSecMatchLimit, sec::MatchLimit::one);
  put(query, sec::kSecReturnData, true);
  put(query, sec::kSecReturnAttributes, true);
  put(query, sec::kSecReturnRef, true);
  put(query, sec::kSecReturnPersistentRef, true);
  put(query, sec::kSecAttrAccount, std::string(key));
  sec::CopyResult result;
  sec::OSStatus status = m_store->copyMatching(query, &result);
  if (status == sec::kErrSecItemNotFound) return std::nullopt;
  if (status != sec::kErrSecSuccess) return std::unexpected(securityError(status));
  auto attributes = std::get_if<sec::Dictionary>(&result);
  if (!attributes) return std::unexpected(Status::unexpectedError);
  return std::move(*attributes);
}

KeychainResult<std::optional<Attributes>> Keychain::getAttributes(
    std::string_view key, bool ignoringAttributeSynchronizable) const {
  return get(key, ignoringAttributeSynchronizable,
             [](std::optional<Attributes> attributes) { return attributes; });
}

KeychainResult<void> Keychain::set(std::string_view value, std::string_view key,
                                   bool ignoringAttributeSynchronizable) const {
  if (!platform::isValidUtf8(value)) {
    platform::logError("failed to convert string to data");
    return std::unexpected(Status::conversionError);
  }
  return set(toBytes(value), key, ignoringAttributeSynchronizable);
}

KeychainResult<void> Keychain::set(const Bytes& value, std::string_view key,
                                   bool ignoringAttributeSynchronizable) const {
  sec::Dictionary probe = m_options.query(ignoringAttributeSynchronizable);
  put(probe, sec::kSecAttrAccount, std::string(key));
  put(probe, sec::kSecReturnData, true);
  put(probe, sec::kSecUseAuthenticationUI, std::string(interactionText(m_options)));
  sec::OSStatus status = m_store->copyMatching(probe, nullptr);

  bool update = status == sec::kErrSecSuccess || status == sec::kErrSecInteractionNotAllowed;
  if (!update && status != sec::kErrSecItemNotFound) return std::unexpected(securityError(status));

  auto [attributes, error] =
      update ? m_options.itemAttributes(std::nullopt, value) : m_options.itemAttributes(key, value);
  if (error) {
    platform::logError("{}", keychain::description(*error));
    return std::unexpected(*error);
  }
  for (const auto& [name, extra] : m_options.attributes) attributes.insert_or_assign(name, extra);

  if (update) {
    sec::Dictionary query = m_options.query(true);
    put(query, sec::kSecAttrAccount, std::string(key));
    status = m_store->update(query, attributes);
  } else {
    status = m_store->add(attributes);
  }
  if (status != sec::kErrSecSuccess) return std::unexpected(securityError(status));
  return {};
}

KeychainResult<void> Keychain::remove(std::string_view key,
                                      bool ignoringAttributeSynchronizable) const {
  sec::Dictionary query = m_options.query(ignoringAttributeSynchronizable);
  put(query, sec::kSecAttrAccount, std::string(key));
  sec::OSStatus status = m_store->remove(query);
  if (status != sec::kErrSecSuccess && status != sec::kErrSecItemNotFound)
    return std::unexpected(securityError(status));
  return {};
}

KeychainResult<void> Keychain::removeAll() const {
  sec::Dictionary query = m_options.query(true);
  put(query, sec::kSecMatchLimit, sec::MatchLimit::all);
  sec::OSStatus status = m_store->remove(query);
  if (status != sec::kErrSecSuccess && status != sec::kErrSecItemNotFound)
    return std::unexpected(securityError(status));
  return {};
}

KeychainResult<bool> Keychain::contains(std::string_view key, bool withoutAuthenticationUI) const {
  sec::Dictionary query = m_options.query(true);
  put(query, sec::kSecAttrAccount, std::string(key));
  if (withoutAuthenticationUI) {
    put(query, sec::kSecUseAuthenticationUI, std::string(interactionText(m_options)));
  } else if (m_options.authenticationUI) {
    put(query, sec::kSecUseAuthenticationUI, std::string(rawValue(*m_options.authenticationUI)));
  }
  sec::OSStatus status = m_store->copyMatching(query, nullptr);
  if (status == sec::kErrSecSuccess) return true;
  if (status == sec::kErrSecItemNotFound) return false;
  if (status == sec::kErrSecInteractionNotAllowed) return withoutAuthenticationUI;
  return std::unexpected(securityError(status));
}

std::optional<std::string> Keychain::getString(std::string_view key) const {
  return get(key, true).value_or(std::nullopt);
}

void Keychain::setString(const std::optional<std::string>& value, std::string_view key) const {
  if (value) {
    (void)set(*value, key, true);
  } else {
    (void)remove(key, true);
  }
}

std::optional<Bytes> Keychain::getDataValue(std::string_view key) const {
  return getData(key, true).value_or(std::nullopt);
}

void Keychain::setDataValue(const std::optional<Bytes>& value, std::string_view key) const {
  if (value) {
    (void)set(*value, key, true);
  } else {
    (void)remove(key, true);
  }
}

std::optional<Attributes> Keychain::getAttributesValue(std::string_view key) const {
  return getAttributes(key, true).value_or(std::nullopt);
}

std::vector<sec::Dictionary> Keychain::rawItems() const {
  sec::Dictionary query = m_options.query(true);
  put(query, sec::kSecMatchLimit, sec::MatchLimit::all);
  put(query, sec::kSecReturnAttributes, true);
  return listItems(*m_store, query);
}

std::vector<std::string> Keychain::allKeys() const {
  std::vector<std::string> keys;
  for (const auto& record : allItems()) {
    auto key = record.find("key");
    if (key == record.end()) continue;
    if (auto text = std::get_if<std::string>(&key->second)) keys.push_back(*text);
  }
  return keys;
}

std::vector<ItemRecord> Keychain::allItems() const {
  std::vector<ItemRecord> records;
  for (const auto& raw : rawItems()) records.push_back(toRecord(m_options.itemClass, raw));
  return records;
}

std::vector<std::pair<std::string, std::string>> Keychain::allKeys(ItemClass itemClass,
                                                                   const Store& store) {
  sec::Dictionary query = classQuery(itemClass);
  put(query, sec::kSecAttrSynchronizable, sec::SynchronizableAny{});
  std::vector<std::pair<std::string, std::string>> keys;
  auto text = [](const ItemRecord& record, const char* name) {
    auto it = record.find(name);
    if (it == record.end()) return std::string();
    auto value = std::get_if<std::string>(&it->second);
    return value ? *value : std::string();
  };
  const char* scope = itemClass == ItemClass::genericPassword ? "service" : "server";
  for (const auto& raw : listItems(*store, query)) {
    ItemRecord record = toRecord(itemClass, raw);
    keys.emplace_back(text(record, scope), text(record, "key"));
  }
  return keys;
}

std::vector<ItemRecord> Keychain::allItems(ItemClass itemClass, const Store& store) {
  std::vector<ItemRecord> records;
  for (const auto& raw : listItems(*store, classQuery(itemClass)))
    records.push_back(toRecord(itemClass, raw));
  return records;
}

std::string Keychain::description() const {
  auto records = allItems();
  if (records.empty()) return "[]";
  std::string text = "[\n";
  for (const auto& record : records) text += fmt::format("  {}\n", describe(record));
  text += "]";
  return text;
}

std::string Keychain::debugDescription() const {
  std::string text = "[";
  for (const auto& raw : rawItems()) {
    if (text.size() > 1) text += ", ";
    text += sec::describe(raw);
  }
  text += "]";
  return text;
}

}  // namespace tessra::keychain
