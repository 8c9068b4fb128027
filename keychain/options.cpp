#include "keychain/options.h"

#include <algorithm>
#include <array>

#include "platform/security/item_constants.h"
#include "platform/security/item_store.h"

namespace tessra::keychain {
namespace sec = platform::security;
namespace {

template <class Enum>
struct EnumCase {
  Enum value;
  std::string_view rawValue;
  std::string_view description;
};

constexpr std::array kItemClasses{
    EnumCase<ItemClass>{ItemClass::genericPassword, sec::kSecClassGenericPassword,
                        "GenericPassword"},
    EnumCase<ItemClass>{ItemClass::internetPassword, sec::kSecClassInternetPassword,
                        "InternetPassword"},
};

using P = ProtocolType;
constexpr std::array kProtocolTypes{
    EnumCase<P>{P::ftp, sec::kSecAttrProtocolFTP, "FTP"},
    EnumCase<P>{P::ftpAccount, sec::kSecAttrProtocolFTPAccount, "FTPAccount"},
    EnumCase<P>{P::http, sec::kSecAttrProtocolHTTP, "HTTP"},
    EnumCase<P>{P::irc, sec::kSecAttrProtocolIRC, "IRC"},
    EnumCase<P>{P::nntp, sec::kSecAttrProtocolNNTP, "NNTP"},
    EnumCase<P>{P::pop3, sec::kSecAttrProtocolPOP3, "POP3"},
    EnumCase<P>{P::smtp, sec::kSecAttrProtocolSMTP, "SMTP"},
    EnumCase<P>{P::socks, sec::kSecAttrProtocolSOCKS, "SOCKS"},
    EnumCase<P>{P::imap, sec::kSecAttrProtocolIMAP, "IMAP"},
    EnumCase<P>{P::ldap, sec::kSecAttrProtocolLDAP, "LDAP"},
    EnumCase<P>{P::appleTalk, sec::kSecAttrProtocolAppleTalk, "AppleTalk"},
    EnumCase<P>{P::afp, sec::kSecAttrProtocolAFP, "AFP"},
    EnumCase<P>{P::telnet, sec::kSecAttrProtocolTelnet, "Telnet"},
    EnumCase<P>{P::ssh, sec::kSecAttrProtocolSSH, "SSH"},
    EnumCase<P>{P::ftps, sec::kSecAttrProtocolFTPS, "FTPS"},
    EnumCase<P>{P::https, sec::kSecAttrProtocolHTTPS, "HTTPS"},
    EnumCase<P>{P::httpProxy, sec::kSecAttrProtocolHTTPProxy, "HTTPProxy"},
    EnumCase<P>{P::httpsProxy, sec::kSecAttrProtocolHTTPSProxy, "HTTPSProxy"},
    EnumCase<P>{P::ftpProxy, sec::kSecAttrProtocolFTPProxy, "FTPProxy"},
    EnumCase<P>{P::smb, sec::kSecAttrProtocolSMB, "SMB"},
    EnumCase<P>{P::rtsp, sec::kSecAttrProtocolRTSP, "RTSP"},
    EnumCase<P>{P::rtspProxy, sec::kSecAttrProtocolRTSPProxy, "RTSPProxy"},
    EnumCase<P>{P::daap, sec::kSecAttrProtocolDAAP, "DAAP"},
    EnumCase<P>{P::eppc, sec::kSecAttrProtocolEPPC, "EPPC"},
    EnumCase<P>{P::ipp, sec::kSecAttrProtocolIPP, "IPP"},
    EnumCase<P>{P::nntps, sec::kSecAttrProtocolNNTPS, "NNTPS"},
    EnumCase<P>{P::ldaps, sec::kSecAttrProtocolLDAPS, "LDAPS"},
    EnumCase<P>{P::telnetS, sec::kSecAttrProtocolTelnetS, "TelnetS"},
    EnumCase<P>{P::imaps, sec::kSecAttrProtocolIMAPS, "IMAPS"},
    EnumCase<P>{P::ircs, sec::kSecAttrProtocolIRCS, "IRCS"},
    EnumCase<P>{P::pop3S, sec::kSecAttrProtocolPOP3S, "POP3S"},
};

using T = AuthenticationType;
constexpr std::array kAuthenticationTypes{
    EnumCase<T>{T::ntlm, sec::kSecAttrAuthenticationTypeNTLM, "NTLM"},
    EnumCase<T>{T::msn, sec::kSecAttrAuthenticationTypeMSN, "MSN"},
    EnumCase<T>{T::dpa, sec::kSecAttrAuthenticationTypeDPA, "DPA"},
    EnumCase<T>{T::rpa, sec::kSecAttrAuthenticationTypeRPA, "RPA"},
    EnumCase<T>{T::httpBasic, sec::kSecAttrAuthenticationTypeHTTPBasic, "HTTPBasic"},
    EnumCase<T>{T::httpDigest, sec::kSecAttrAuthenticationTypeHTTPDigest, "HTTPDigest"},
    EnumCase<T>{T::htmlForm, sec::kSecAttrAuthenticationTypeHTMLForm, "HTMLForm"},
    EnumCase<T>{T::default_, sec::kSecAttrAuthenticationTypeDefault, "Default"},
};

using A = Accessibility;
constexpr std::array kAccessibilities{
    EnumCase<A>{A::whenUnlocked, sec::kSecAttrAccessibleWhenUnlocked, "WhenUnlocked"},
    EnumCase<A>{A::afterFirstUnlock, sec::kSecAttrAccessibleAfterFirstUnlock, "AfterFirstUnlock"},
    EnumCase<A>{A::always, sec::kSecAttrAccessibleAlways, "Always"},
    EnumCase<A>{A::whenPasscodeSetThisDeviceOnly,
                sec::kSecAttrAccessibleWhenPasscodeSetThisDeviceOnly,
                "WhenPasscodeSetThisDeviceOnly"},
    EnumCase<A>{A::whenUnlockedThisDeviceOnly, sec::kSecAttrAccessibleWhenUnlockedThisDeviceOnly,
                "WhenUnlockedThisDeviceOnly"},
    EnumCase<A>{A::afterFirstUnlockThisDeviceOnly,
                sec::kSecAttrAccessibleAfterFirstUnlockThisDeviceOnly,
                "AfterFirstUnlockThisDeviceOnly"},
    EnumCase<A>{A::alwaysThisDeviceOnly, sec::kSecAttrAccessibleAlwaysThisDeviceOnly,
                "AlwaysThisDeviceOnly"},
};

using U = AuthenticationUI;
constexpr std::array kAuthenticationUIs{
    EnumCase<U>{U::allow, sec::kSecUseAuthenticationUIAllow, "allow"},
    EnumCase<U>{U::fail, sec::kSecUseAuthenticationUIFail, "fail"},
    EnumCase<U>{U::skip, sec::kSecUseAuthenticationUISkip, "skip"},
};

template <class Enum, std::size_t N>
const EnumCase<Enum>& caseOf(const std::array<EnumCase<Enum>, N>& table, Enum value) {
  return table[static_cast<std::size_t>(value)];
}

template <class Enum, std::size_t N>
std::optional<Enum> lookUp(const std::array<EnumCase<Enum>, N>& table, std::string_view text) {
  auto it = std::ranges::find(table, text, &EnumCase<Enum>::rawValue);
  if (it == table.end()) return std::nullopt;
  return it->value;
}

template <class Enum, std::size_t N>
constexpr std::array<Enum, N> valuesOf(const std::array<EnumCase<Enum>, N>& table) {
  std::array<Enum, N> values{};
  for (std::size_t i = 0; i < N; ++i) values[i] = table[i].value;
  return values;
}

constexpr auto kItemClassValues = valuesOf(kItemClasses);
constexpr auto kProtocolTypeValues = valuesOf(kProtocolTypes);
constexpr auto kAuthenticationTypeValues = valuesOf(kAuthenticationTypes);
constexpr auto kAccessibilityValues = valuesOf(kAccessibilities);
constexpr auto kAuthenticationUIValues = valuesOf(kAuthenticationUIs);

}  // namespace

std::string_view rawValue(ItemClass value) { return caseOf(kItemClasses, value).rawValue; }
std::string_view rawValue(ProtocolType value) { return caseOf(kProtocolTypes, value).rawValue; }
std::string_view rawValue(AuthenticationType value) {
  return caseOf(kAuthenticationTypes, value).rawValue;
}
std::string_view rawValue(Accessibility value) { return caseOf(kAccessibilities, value).rawValue; }
std::string_view rawValue(AuthenticationUI value) {
  return caseOf(kAuthenticationUIs, value).rawValue;
}

std::string_view description(ItemClass value) { return caseOf(kItemClasses, value).description; }
std::string_view description(ProtocolType value) {
  return caseOf(kProtocolTypes, value).description;
}
std::string_view description(AuthenticationType value) {
  return caseOf(kAuthenticationTypes, value).description;
}
std::string_view description(Accessibility value) {
  return caseOf(kAccessibilities, value).description;
}
std::string_view description(AuthenticationUI value) {
  return caseOf(kAuthenticationUIs, value).description;
}

template <>
std::optional<ItemClass> fromRawValue<ItemClass>(std::string_view text) {
  return lookUp(kItemClasses, text);
}
template <>
std::optional<ProtocolType> fromRawValue<ProtocolType>(std::string_view text) {
  return lookUp(kProtocolTypes, text);
}
template <>
std::optional<AuthenticationType> fromRawValue<AuthenticationType>(std::string_view text) {
  return lookUp(kAuthenticationTypes, text);
}
template <>
std::optional<Accessibility> fromRawValue<Accessibility>(std::string_view text) {
  return lookUp(kAccessibilities, text);
}

template <>
std::span<const ItemClass> allCases<ItemClass>() {
  return kItemClassValues;
}
template <>
std::span<const ProtocolType> allCases<ProtocolType>() {
  return kProtocolTypeValues;
}
template <>
std::span<const AuthenticationType> allCases<AuthenticationType>() {
  return kAuthenticationTypeValues;
}
template <>
std::span<const Accessibility> allCases<Accessibility>() {
  return kAccessibilityValues;
}
template <>
std::span<const AuthenticationUI> allCases<AuthenticationUI>() {
  return kAuthenticationUIValues;
}

sec::Dictionary Options::query(bool ignoringAttributeSynchronizable) const {
  sec::Dictionary query;
  query.emplace(sec::kSecClass, std::string(rawValue(itemClass)));
  if (accessGroup) query.emplace(sec::kSecAttrAccessGroup, *accessGroup);
  if (ignoringAttributeSynchronizable) {
    query.emplace(sec::kSecAttrSynchronizable, sec::SynchronizableAny{});
  } else {
    query.emplace(sec::kSecAttrSynchronizable, synchronizable);
  }
  if (itemClass == ItemClass::genericPassword) {
    query.emplace(sec::kSecAttrService, service);
  } else {
    if (server && server->host()) query.emplace(sec::kSecAttrServer, *server->host());
    if (server && server->port()) query.emplace(sec::kSecAttrPort, *server->port());
    if (protocolType) query.emplace(sec::kSecAttrProtocol, std::string(rawValue(*protocolType)));
    query.emplace(sec::kSecAttrAuthenticationType, std::string(rawValue(authenticationType)));
  }
  if (authenticationPrompt) query.emplace(sec::kSecUseOperationPrompt, *authenticationPrompt);
  if (authenticationContext)
    query.emplace(sec::kSecUseAuthenticationContext, authenticationContext);
  return query;
}

std::pair<sec::Dictionary, std::optional<Status>> Options::itemAttributes(
    std::optional<std::string_view> key, const Bytes& value) const {
  sec::Dictionary attributes;
  if (key) {
    attributes = query(true);
    attributes.insert_or_assign(std::string(sec::kSecAttrAccount), std::string(*key));
  }
  attributes.insert_or_assign(std::string(sec::kSecValueData), value);
  if (label) attributes.insert_or_assign(std::string(sec::kSecAttrLabel), *label);
  if (comment) attributes.insert_or_assign(std::string(sec::kSecAttrComment), *comment);

  if (!authenticationPolicy) {
    attributes.insert_or_assign(std::string(sec::kSecAttrAccessible),
                                std::string(rawValue(accessibility)));
  } else {
    auto control = sec::secAccessControlCreateWithFlags(rawValue(accessibility),
                                                        authenticationPolicy->rawValue());
    if (!control) return {std::move(attributes), statusFromCode(control.error())};
    attributes.insert_or_assign(std::string(sec::kSecAttrAccessControl), *control);
  }
  attributes.insert_or_assign(std::string(sec::kSecAttrSynchronizable), synchronizable);
  return {std::move(attributes), std::nullopt};
}

}  // namespace tessra::keychain
