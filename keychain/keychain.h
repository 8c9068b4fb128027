// `Keychain`: small secrets, texts or bytes, kept as items of the login keyring and addressed by
// a key (the item's account) within the scope its options fix: a service name for generic
// passwords, a server, protocol and authentication type for internet passwords.
//
//   const Keychain keychain("org.tessra.Tessra");
//   if (auto stored = keychain.set(apiKey, "openAiKey"); !stored)
//     report(description(stored.error()));
//   std::optional<std::string> key = keychain.getString("openAiKey");
//
// Failing forms return `std::expected<..., Status>`; the keyed forms (`getString`, `setString`,
// ...) turn any failure into an absent value. Every failure except a canceled prompt writes
// "OSStatus error:[<code>] <message>" on standard output. Secrets are never written anywhere but
// the keyring: not to a log, not to an error, not to a file.
//
// A `Keychain` is an immutable value: builders return a changed copy. Every operation blocks
// until the keyring answers (a few seconds at most when it does not), so call them from worker
// threads, never from the GUI thread. One keychain may be used from several threads at once.
#pragma once

#include <expected>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "keychain/attributes.h"
#include "keychain/options.h"
#include "keychain/status.h"
#include "platform/security/item_store.h"

namespace tessra::keychain {

template <class T>
using KeychainResult = std::expected<T, Status>;

// The application's identifier, the service of a keychain made without one.
inline constexpr std::string_view kMainBundleIdentifier = "org.tessra.Tessra";

class Keychain {
 public:
  using Store = std::shared_ptr<platform::security::ItemStore>;

  // Generic passwords of the application's own service.
  Keychain();
  static Keychain withAccessGroup(std::string accessGroup);
  explicit Keychain(std::string service, std::optional<std::string> accessGroup = std::nullopt);
  // Internet passwords of a server.
  Keychain(ServerUrl server, ProtocolType protocolType,
           std::optional<std::string> accessGroup = std::nullopt,
           AuthenticationType authenticationType = AuthenticationType::default_);

  // Builders.
  Keychain synchronizable(bool synchronizable) const;
  Keychain accessibility(Accessibility accessibility) const;
  Keychain accessibility(Accessibility accessibility, AuthenticationPolicy policy) const;
  Keychain label(std::string label) const;
  Keychain comment(std::string comment) const;
  // Merged into the extra attributes: each entry replaces one of the same key.
  Keychain attributes(const platform::security::Dictionary& attributes) const;
  Keychain authenticationPrompt(std::string prompt) const;
  Keychain authenticationUI(AuthenticationUI ui) const;
  Keychain authenticationContext(
      std::shared_ptr<const platform::security::AuthenticationContext> context) const;
  // The same keychain over another item store (tests use an in-memory one).
  Keychain withStore(Store store) const;

  // Accessors. `server` and `protocolType` are absent on a generic-password keychain.
  const Options& options() const { return m_options; }
  ItemClass itemClass() const { return m_options.itemClass; }
  const std::string& service() const { return m_options.service; }
  const std::optional<std::string>& accessGroup() const { return m_options.accessGroup; }
  const std::optional<ServerUrl>& server() const { return m_options.server; }
  std::optional<ProtocolType> protocolType() const { return m_options.protocolType; }
  AuthenticationType authenticationType() const { return m_options.authenticationType; }
  Accessibility accessibility() const { return m_options.accessibility; }
  std::optional<AuthenticationPolicy> authenticationPolicy() const {
    return m_options.authenticationPolicy;
  }
  bool synchronizable() const { return m_options.synchronizable; }
  const std::optional<std::string>& label() const { return m_options.label; }
  const std::optional<std::string>& comment() const { return m_options.comment; }
  const std::optional<std::string>& authenticationPrompt() const {
    return m_options.authenticationPrompt;
  }
  AuthenticationUI authenticationUI() const {
    return m_options.authenticationUI.value_or(AuthenticationUI::allow);
  }
  std::shared_ptr<const platform::security::AuthenticationContext> authenticationContext() const {
    return m_options.authenticationContext;
  }

  // Reads and writes that may fail. A missing item reads as absent, not as a failure.
  [[nodiscard]] KeychainResult<std::optional<std::string>> get(
      std::string_view key, bool ignoringAttributeSynchronizable = true) const;
  [[nodiscard]] KeychainResult<std::optional<Bytes>> getData(
      std::string_view key, bool ignoringAttributeSynchronizable = true) const;
  template <class Handler>
  auto get(std::string_view key, bool ignoringAttributeSynchronizable, Handler&& handler) const
      -> KeychainResult<std::invoke_result_t<Handler, std::optional<Attributes>>>;
  [[nodiscard]] KeychainResult<std::optional<Attributes>> getAttributes(
      std::string_view key, bool ignoringAttributeSynchronizable = true) const;
  // Stores the value under the key: changes the item when there is one, else adds it.
  [[nodiscard]] KeychainResult<void> set(std::string_view value, std::string_view key,
                                         bool ignoringAttributeSynchronizable = true) const;
  [[nodiscard]] KeychainResult<void> set(const Bytes& value, std::string_view key,
                                         bool ignoringAttributeSynchronizable = true) const;
  // Removing an item that is not there succeeds.
  [[nodiscard]] KeychainResult<void> remove(std::string_view key,
                                            bool ignoringAttributeSynchronizable = true) const;
  [[nodiscard]] KeychainResult<void> removeAll() const;
  [[nodiscard]] KeychainResult<bool> contains(std::string_view key,
                                              bool withoutAuthenticationUI = false) const;

  // Keyed forms that never fail: a failure reads as absent (its line is still written). Writing
  // an absent value removes the item.
  std::optional<std::string> getString(std::string_view key) const;
  void setString(const std::optional<std::string>& value, std::string_view key) const;
  std::optional<Bytes> getDataValue(std::string_view key) const;
  void setDataValue(const std::optional<Bytes>& value, std::string_view key) const;
  std::optional<Attributes> getAttributesValue(std::string_view key) const;

  // Listings never fail; a failure gives an empty list after its line.
  std::vector<std::string> allKeys() const;
  std::vector<ItemRecord> allItems() const;
  // Pairs of (service or server, key) over every item of a class.
  static std::vector<std::pair<std::string, std::string>> allKeys(
      ItemClass itemClass, const Store& store = platform::security::loginKeyring());
  static std::vector<ItemRecord> allItems(ItemClass itemClass,
                                          const Store& store = platform::security::loginKeyring());

  // The item records, one per line; "[]" when there are none. Values are left out.
  std::string description() const;
  // The raw item dictionaries, data shown by size only.
  std::string debugDescription() const;

 private:
  Keychain(Options options, Store store);
  Keychain withOptions(Options options) const;
  [[nodiscard]] KeychainResult<std::optional<platform::security::Dictionary>> copyAttributes(
      std::string_view key, bool ignoringAttributeSynchronizable) const;
  std::vector<platform::security::Dictionary> rawItems() const;

  Options m_options;
  Store m_store;
};

template <class Handler>
auto Keychain::get(std::string_view key, bool ignoringAttributeSynchronizable,
                   Handler&& handler) const
    -> KeychainResult<std::invoke_result_t<Handler, std::optional<Attributes>>> {
  auto found = copyAttributes(key, ignoringAttributeSynchronizable);
  if (!found) return std::unexpected(found.error());
  std::optional<Attributes> attributes;
  if (*found) attributes.emplace(std::move(**found));
  if constexpr (std::is_void_v<std::invoke_result_t<Handler, std::optional<Attributes>>>) {
    std::forward<Handler>(handler)(std::move(attributes));
    return {};
  } else {
    return std::forward<Handler>(handler)(std::move(attributes));
  }
}

}  // namespace tessra::keychain
