#include "platform/security/item_store.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <optional>
#include <string_view>

#include "platform/foundation/utf8.h"

namespace tessra::platform::security {
namespace {

enum class AttributeKind { text, flag, number, bytes };

struct SchemaAttribute {
  std::string_view name;
  AttributeKind kind;
};

// Every attribute an item may carry. The login keyring stores each as a string attribute of the
// same name.
constexpr std::array kSchema{
    SchemaAttribute{kSecClass, AttributeKind::text},
    SchemaAttribute{kSecAttrAccessGroup, AttributeKind::text},
    SchemaAttribute{kSecAttrSynchronizable, AttributeKind::flag},
    SchemaAttribute{kSecAttrAccessible, AttributeKind::text},
    SchemaAttribute{kSecAttrService, AttributeKind::text},
    SchemaAttribute{kSecAttrAccount, AttributeKind::text},
    SchemaAttribute{kSecAttrServer, AttributeKind::text},
    SchemaAttribute{kSecAttrProtocol, AttributeKind::text},
    SchemaAttribute{kSecAttrAuthenticationType, AttributeKind::text},
    SchemaAttribute{kSecAttrPort, AttributeKind::number},
    SchemaAttribute{kSecAttrPath, AttributeKind::text},
    SchemaAttribute{kSecAttrSecurityDomain, AttributeKind::text},
    SchemaAttribute{kSecAttrLabel, AttributeKind::text},
    SchemaAttribute{kSecAttrComment, AttributeKind::text},
    SchemaAttribute{kSecAttrDescription, AttributeKind::text},
    SchemaAttribute{kSecAttrCreator, AttributeKind::text},
    SchemaAttribute{kSecAttrType, AttributeKind::text},
    SchemaAttribute{kSecAttrIsInvisible, AttributeKind::flag},
    SchemaAttribute{kSecAttrIsNegative, AttributeKind::flag},
    SchemaAttribute{kSecAttrGeneric, AttributeKind::bytes},
};

// The attributes that identify an item: two items of a class may not agree on all of them.
constexpr std::array kGenericPrimaryKey{kSecClass, kSecAttrAccessGroup, kSecAttrService,
                                        kSecAttrAccount, kSecAttrSynchronizable};
constexpr std::array kInternetPrimaryKey{kSecClass,
                                         kSecAttrAccessGroup,
                                         kSecAttrAccount,
                                         kSecAttrServer,
                                         kSecAttrProtocol,
                                         kSecAttrAuthenticationType,
                                         kSecAttrPort,
                                         kSecAttrPath,
                                         kSecAttrSecurityDomain,
                                         kSecAttrSynchronizable};

const SchemaAttribute* schemaAttribute(std::string_view name) {
  auto it = std::ranges::find(kSchema, name, &SchemaAttribute::name);
  return it == kSchema.end() ? nullptr : &*it;
}

std::expected<std::string, OSStatus> encodeAttribute(AttributeKind kind, const Value& value) {
  switch (kind) {
    case AttributeKind::text:
      // The keyring carries attributes as D-Bus strings, which must be UTF-8; it would neither
      // store nor match any other text, and report neither.
      if (auto text = std::get_if<std::string>(&value); text && isValidUtf8(*text)) return *text;
      break;
    case AttributeKind::flag:
      if (auto flag = std::get_if<bool>(&value)) return std::string(*flag ? "true" : "false");
      break;
    case AttributeKind::number:
      if (auto number = std::get_if<std::int64_t>(&value)) return std::to_string(*number);
      break;
    case AttributeKind::bytes:
      if (auto bytes = std::get_if<Bytes>(&value)) return base64Encode(*bytes);
      break;
  }
  return std::unexpected(kErrSecParam);
}

std::optional<Value> decodeAttribute(AttributeKind kind, const std::string& text) {
  switch (kind) {
    case AttributeKind::text:
      return Value(text);
    case AttributeKind::flag:
      return Value(text == "true");
    case AttributeKind::number: {
      std::int64_t number = 0;
      auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
      if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
      return Value(number);
    }
    case AttributeKind::bytes:
      if (auto bytes = base64Decode(text)) return Value(std::move(*bytes));
      return std::nullopt;
  }
  return std::nullopt;
}

enum class Purpose { search, remove, updateQuery, add, changes };

bool isQuery(Purpose purpose) {
  return purpose == Purpose::search || purpose == Purpose::remove ||
         purpose == Purpose::updateQuery;
}

enum class InteractionPolicy { allow, fail, skip };

struct Parsed {
  StringMap attributes;  // the filter of a query, the attributes of an add or a change
  std::optional<std::string> handle;
  MatchLimit limit = MatchLimit::one;
  bool returnData = false;
  bool returnAttributes = false;
  bool returnRef = false;
  bool returnPersistentRef = false;
  InteractionPolicy interaction = InteractionPolicy::allow;
  std::optional<Bytes> data;
};

std::expected<bool, OSStatus> flagValue(const Value& value) {
  if (auto flag = std::get_if<bool>(&value)) return *flag;
  return std::unexpected(kErrSecParam);
}

std::expected<Parsed, OSStatus> parse(const Dictionary& dictionary, Purpose purpose) {
  Parsed parsed;
  bool synchronizableGiven = false;
  for (const auto& [key, value] : dictionary) {
    if (key == kSecAttrAccessControl || key == kSecUseAuthenticationContext)
      return std::unexpected(kErrSecUnimplemented);

    if (key == kSecClass) {
      auto text = std::get_if<std::string>(&value);
      if (!text) return std::unexpected(kErrSecParam);
      if (*text != kSecClassGenericPassword && *text != kSecClassInternetPassword)
        return std::unexpected(kErrSecNoSuchClass);
      if (purpose == Purpose::changes) return std::unexpected(kErrSecParam);
      parsed.attributes[key] = *text;
      continue;
    }
    if (key == kSecAttrSynchronizable) {
      synchronizableGiven = true;
      if (std::holds_alternative<SynchronizableAny>(value)) {
        if (!isQuery(purpose)) return std::unexpected(kErrSecParam);
        continue;
      }
    }
    if (auto attribute = schemaAttribute(key)) {
      auto text = encodeAttribute(attribute->kind, value);
      if (!text) return std::unexpected(text.error());
      parsed.attributes[key] = std::move(*text);
      continue;
    }
    if (key == kSecAttrCreationDate || key == kSecAttrModificationDate) {
      return std::unexpected(isQuery(purpose) ? kErrSecItemMatchUnsupported : kErrSecReadOnlyAttr);
    }
    if (key == kSecMatchLimit) {
      auto limit = std::get_if<MatchLimit>(&value);
      if (!limit || (purpose != Purpose::search && purpose != Purpose::remove))
        return std::unexpected(kErrSecParam);
      parsed.limit = *limit;
      continue;
    }
    if (key == kSecReturnData || key == kSecReturnAttributes || key == kSecReturnRef ||
        key == kSecReturnPersistentRef) {
      auto flag = flagValue(value);
      if (!flag || purpose != Purpose::search) return std::unexpected(kErrSecParam);
      if (key == kSecReturnData) parsed.returnData = *flag;
      if (key == kSecReturnAttributes) parsed.returnAttributes = *flag;
      if (key == kSecReturnRef) parsed.returnRef = *flag;
      if (key == kSecReturnPersistentRef) parsed.returnPersistentRef = *flag;
      continue;
    }
    if (key == kSecValueData) {
      auto bytes = std::get_if<Bytes>(&value);
      if (!bytes || isQuery(purpose)) return std::unexpected(kErrSecParam);
      parsed.data = *bytes;
      continue;
    }
    if (key == kSecValueRef || key == kSecValuePersistentRef) {
      auto bytes = std::get_if<Bytes>(&value);
      if (!isQuery(purpose)) return std::unexpected(kErrSecValueRefUnsupported);
      if (!bytes) return std::unexpected(kErrSecParam);
      parsed.handle = toString(*bytes);
      continue;
    }
    if (key == kSecUseOperationPrompt) {
      // The keyring words its own prompts; the text has nowhere to go.
      if (!std::holds_alternative<std::string>(value)) return std::unexpected(kErrSecParam);
      continue;
    }
    if (key == kSecUseAuthenticationUI) {
      auto text = std::get_if<std::string>(&value);
      if (!text) return std::unexpected(kErrSecParam);
      if (*text == kSecUseAuthenticationUIAllow) {
        parsed.interaction = InteractionPolicy::allow;
      } else if (*text == kSecUseAuthenticationUIFail) {
        parsed.interaction = InteractionPolicy::fail;
      } else if (*text == kSecUseAuthenticationUISkip) {
        parsed.interaction = InteractionPolicy::skip;
      } else {
        return std::unexpected(kErrSecParam);
      }
      continue;
    }
    return std::unexpected(kErrSecItemInvalidKey);
  }

  if (purpose != Purpose::changes && !parsed.attributes.contains(kSecClass))
    return std::unexpected(kErrSecItemClassMissing);
  // Like the platform we stand in for, a query or an add that does not mention the
  // synchronizable state means "not synchronizable".
  if (purpose != Purpose::changes && !synchronizableGiven)
    parsed.attributes[std::string(kSecAttrSynchronizable)] = "false";
  return parsed;
}

std::span<const std::string_view> primaryKey(const StringMap& attributes) {
  auto itemClass = attributes.find(kSecClass);
  if (itemClass != attributes.end() && itemClass->second == kSecClassInternetPassword)
    return kInternetPrimaryKey;
  return kGenericPrimaryKey;
}

bool samePrimaryKey(const StringMap& a, const StringMap& b) {
  for (auto name : primaryKey(a)) {
    auto left = a.find(name);
    auto right = b.find(name);
    bool leftPresent = left != a.end();
    bool rightPresent = right != b.end();
    if (leftPresent != rightPresent) return false;
    if (leftPresent && left->second != right->second) return false;
  }
  return true;
}

// Whether another item already has the primary key of `attributes`; `self` is left out.
std::expected<bool, OSStatus> hasDuplicate(ItemBackend& backend, const StringMap& attributes,
                                           const std::string* self) {
  StringMap filter;
  for (auto name : primaryKey(attributes)) {
    auto it = attributes.find(name);
    if (it != attributes.end()) filter.emplace(it->first, it->second);
  }
  auto candidates = backend.search(filter);
  if (!candidates) return std::unexpected(candidates.error());
  return std::ranges::any_of(*candidates, [&](const StoredItem& item) {
    return (!self || item.handle != *self) && samePrimaryKey(item.attributes, attributes);
  });
}

std::string displayLabel(const StringMap& attributes) {
  if (auto label = attributes.find(kSecAttrLabel); label != attributes.end()) return label->second;
  std::string scope;
  for (auto name : {kSecAttrService, kSecAttrServer}) {
    if (auto it = attributes.find(name); it != attributes.end() && !it->second.empty())
      scope = it->second;
  }
  auto account = attributes.find(kSecAttrAccount);
  if (account == attributes.end() || account->second.empty()) return scope;
  return scope.empty() ? account->second : scope + " / " + account->second;
}

// Finds the items of a query and makes those it needs readable, after its interaction policy.
std::expected<std::vector<StoredItem>, OSStatus> findItems(ItemBackend& backend,
                                                           const Parsed& query,
                                                           bool needsUnlockedItems) {
  auto found = backend.search(query.attributes);
  if (!found) return std::unexpected(found.error());
  std::vector<StoredItem> items = std::move(*found);
  if (query.handle)
    std::erase_if(items, [&](const auto& item) { return item.handle != *query.handle; });
  if (needsUnlockedItems && query.interaction == InteractionPolicy::skip)
    std::erase_if(items, [](const auto& item) { return item.locked; });
  if (items.empty()) return std::unexpected(kErrSecItemNotFound);
  if (query.limit == MatchLimit::one) items.resize(1);
  if (!needsUnlockedItems) return items;

  std::vector<StoredItem> locked;
  std::ranges::copy_if(items, std::back_inserter(locked), &StoredItem::locked);
  if (locked.empty()) return items;
  if (query.interaction == InteractionPolicy::fail)
    return std::unexpected(kErrSecInteractionNotAllowed);
  if (OSStatus status = backend.unlock(locked); status != kErrSecSuccess)
    return std::unexpected(status);
  for (auto& item : items) item.locked = false;
  return items;
}

Dictionary attributesOf(const StoredItem& item) {
  Dictionary dictionary;
  for (const auto& [name, text] : item.attributes) {
    auto attribute = schemaAttribute(name);
    if (!attribute) continue;  // the keyring's own bookkeeping, or another program's
    if (auto value = decodeAttribute(attribute->kind, text)) dictionary.emplace(name, *value);
  }
  dictionary.emplace(kSecAttrCreationDate, item.created);
  dictionary.emplace(kSecAttrModificationDate, item.modified);
  return dictionary;
}

}  // namespace

ItemStore::ItemStore(std::shared_ptr<ItemBackend> backend) : m_backend(std::move(backend)) {}

OSStatus ItemStore::copyMatching(const Dictionary& query, CopyResult* result) const {
  if (result) *result = std::monostate{};
  auto parsed = parse(query, Purpose::search);
  if (!parsed) return parsed.error();
  auto items = findItems(*m_backend, *parsed, parsed->returnData);
  if (!items) return items.error();

  bool wantsDictionary =
      parsed->returnAttributes || parsed->returnRef || parsed->returnPersistentRef;
  std::vector<Bytes> data;
  std::vector<Dictionary> dictionaries;
  for (const auto& item : *items) {
    Bytes secret;
    if (parsed->returnData) {
      auto loaded = m_backend->secret(item);
      if (!loaded) return loaded.error();
      secret = std::move(*loaded);
    }
    if (!wantsDictionary) {
      data.push_back(std::move(secret));
      continue;
    }
    Dictionary dictionary = parsed->returnAttributes ? attributesOf(item) : Dictionary{};
    if (parsed->returnData) dictionary.emplace(kSecValueData, std::move(secret));
    if (parsed->returnRef) dictionary.emplace(kSecValueRef, toBytes(item.handle));
    if (parsed->returnPersistentRef)
      dictionary.emplace(kSecValuePersistentRef, toBytes(item.handle));
    dictionaries.push_back(std::move(dictionary));
  }

  if (!result) return kErrSecSuccess;
  bool one = parsed->limit == MatchLimit::one;
  if (wantsDictionary) {
    if (one) {
      *result = std::move(dictionaries.front());
    } else {
      *result = std::move(dictionaries);
    }
  } else if (parsed->returnData) {
    if (one) {
      *result = std::move(data.front());
    } else {
      *result = std::move(data);
    }
  }
  return kErrSecSuccess;
}

OSStatus ItemStore::add(const Dictionary& attributes) const {
  auto parsed = parse(attributes, Purpose::add);
  if (!parsed) return parsed.error();
  std::lock_guard lock(m_writeMutex);
  auto duplicate = hasDuplicate(*m_backend, parsed->attributes, nullptr);
  if (!duplicate) return duplicate.error();
  if (*duplicate) return kErrSecDuplicateItem;
  return m_backend->create(parsed->attributes, displayLabel(parsed->attributes),
                           parsed->data.value_or(Bytes{}));
}

OSStatus ItemStore::update(const Dictionary& query, const Dictionary& attributes) const {
  auto parsedQuery = parse(query, Purpose::updateQuery);
  if (!parsedQuery) return parsedQuery.error();
  auto changes = parse(attributes, Purpose::changes);
  if (!changes) return changes.error();
  parsedQuery->limit = MatchLimit::all;

  std::lock_guard lock(m_writeMutex);
  auto items = findItems(*m_backend, *parsedQuery, true);
  if (!items) return items.error();
  for (const auto& item : *items) {
    StringMap updated = item.attributes;
    for (const auto& [name, text] : changes->attributes) updated[name] = text;
    if (!samePrimaryKey(updated, item.attributes)) {
      auto duplicate = hasDuplicate(*m_backend, updated, &item.handle);
      if (!duplicate) return duplicate.error();
      if (*duplicate) return kErrSecDuplicateItem;
    }
    std::string label =
        changes->attributes.contains(kSecAttrLabel) ? displayLabel(updated) : item.label;
    const Bytes* secret = changes->data ? &*changes->data : nullptr;
    if (OSStatus status = m_backend->modify(item, updated, label, secret); status != kErrSecSuccess)
      return status;
  }
  return kErrSecSuccess;
}

OSStatus ItemStore::remove(const Dictionary& query) const {
  auto parsed = parse(query, Purpose::remove);
  if (!parsed) return parsed.error();
  parsed->limit = MatchLimit::all;
  std::lock_guard lock(m_writeMutex);
  auto items = findItems(*m_backend, *parsed, true);
  if (!items) return items.error();
  for (const auto& item : *items) {
    // An item that another program deleted first is gone all the same.
    OSStatus status = m_backend->erase(item);
    if (status != kErrSecSuccess && status != kErrSecItemNotFound) return status;
  }
  return kErrSecSuccess;
}

std::expected<std::shared_ptr<const AccessControl>, OSStatus> secAccessControlCreateWithFlags(
    std::string_view, std::uint64_t) {
  return std::unexpected(kErrSecUnimplemented);
}

}  // namespace tessra::platform::security
