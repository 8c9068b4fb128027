// The options of a `Keychain`: which items it reads and writes (class, service or server, access
// group) and what it asks for when it writes them (accessibility, label, comment, extra
// attributes, synchronizable state). Also the enumerations behind them, each case standing for
// one keychain constant (`rawValue`) with a fixed English `description`.
//
// Cases that clash with C++ keywords carry a trailing underscore (`AuthenticationType::default_`).
#pragma once

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "keychain/authentication_policy.h"
#include "keychain/server_url.h"
#include "keychain/status.h"
#include "platform/security/item_dictionary.h"

namespace tessra::keychain {

enum class ItemClass { genericPassword, internetPassword };

enum class ProtocolType {
  ftp,
  ftpAccount,
  http,
  irc,
  nntp,
  pop3,
  smtp,
  socks,
  imap,
  ldap,
  appleTalk,
  afp,
  telnet,
  ssh,
  ftps,
  https,
  httpProxy,
  httpsProxy,
  ftpProxy,
  smb,
  rtsp,
  rtspProxy,
  daap,
  eppc,
  ipp,
  nntps,
  ldaps,
  telnetS,
  imaps,
  ircs,
  pop3S,
};

enum class AuthenticationType { ntlm, msn, dpa, rpa, httpBasic, httpDigest, htmlForm, default_ };

enum class Accessibility {
  whenUnlocked,
  afterFirstUnlock,
  always,
  whenPasscodeSetThisDeviceOnly,
  whenUnlockedThisDeviceOnly,
  afterFirstUnlockThisDeviceOnly,
  alwaysThisDeviceOnly,
};

enum class AuthenticationUI { allow, fail, skip };

std::string_view rawValue(ItemClass value);
std::string_view rawValue(ProtocolType value);
std::string_view rawValue(AuthenticationType value);
std::string_view rawValue(Accessibility value);
std::string_view rawValue(AuthenticationUI value);

std::string_view description(ItemClass value);
std::string_view description(ProtocolType value);
std::string_view description(AuthenticationType value);
std::string_view description(Accessibility value);
std::string_view description(AuthenticationUI value);

// The case whose constant text equals `text`, nothing when none does. Defined for ItemClass,
// ProtocolType, AuthenticationType and Accessibility (AuthenticationUI has no such lookup).
template <class Enum>
std::optional<Enum> fromRawValue(std::string_view text);

// Every case of an enumeration, in declaration order.
template <class Enum>
std::span<const Enum> allCases();

struct Options {
  ItemClass itemClass = ItemClass::genericPassword;
  std::string service;
  std::optional<std::string> accessGroup;
  std::optional<ServerUrl> server;           // internet passwords only
  std::optional<ProtocolType> protocolType;  // internet passwords only
  // Enters a query only for internet passwords.
  AuthenticationType authenticationType = AuthenticationType::default_;
  Accessibility accessibility = Accessibility::afterFirstUnlock;
  std::optional<AuthenticationPolicy> authenticationPolicy;
  bool synchronizable = false;
  std::optional<std::string> label;
  std::optional<std::string> comment;
  std::optional<std::string> authenticationPrompt;
  std::optional<AuthenticationUI> authenticationUI;
  std::shared_ptr<const platform::security::AuthenticationContext> authenticationContext;
  // Extra item attributes every write adds, replacing those of the same key.
  platform::security::Dictionary attributes;

  // The dictionary that addresses this keychain's items: class, access group, synchronizable
  // state (any, when ignoring it), service or server scope, prompt and context.
  platform::security::Dictionary query(bool ignoringAttributeSynchronizable) const;

  // The attributes of a write of `value`: with a key, a whole new item (query plus account);
  // without, the changes of an update. When access control cannot be made, the dictionary built
  // so far comes with the error.
  std::pair<platform::security::Dictionary, std::optional<Status>> itemAttributes(
      std::optional<std::string_view> key, const Bytes& value) const;
};

}  // namespace tessra::keychain
