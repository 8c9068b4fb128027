// The vocabulary of keychain item dictionaries: the attribute and control keys, and the texts of
// the item classes, protocols, authentication types, accessibilities and prompt policies.
//
// Keys double as the names of the string attributes under which the login keyring stores an
// item, so an item is readable with ordinary keyring tools ("class", "service", "account", ...).
// The values are our own texts; they only have to be distinct and stable, since they are stored.
#pragma once

#include <cstdint>
#include <string_view>

namespace tessra::platform::security {

// The result code of every item operation: 0 is success, negative values name the failure.
using OSStatus = std::int32_t;

// The codes this layer answers itself.
inline constexpr OSStatus kErrSecSuccess = 0;
inline constexpr OSStatus kErrSecUnimplemented = -4;
inline constexpr OSStatus kErrSecParam = -50;
inline constexpr OSStatus kErrSecUserCanceled = -128;
inline constexpr OSStatus kErrSecNotAvailable = -25291;
inline constexpr OSStatus kErrSecAuthFailed = -25293;
inline constexpr OSStatus kErrSecDuplicateItem = -25299;
inline constexpr OSStatus kErrSecItemNotFound = -25300;
inline constexpr OSStatus kErrSecNoSuchClass = -25306;
inline constexpr OSStatus kErrSecInteractionNotAllowed = -25308;
inline constexpr OSStatus kErrSecReadOnlyAttr = -25309;
inline constexpr OSStatus kErrSecItemInvalidKey = -34000;
inline constexpr OSStatus kErrSecItemClassMissing = -34003;
inline constexpr OSStatus kErrSecItemMatchUnsupported = -34004;
inline constexpr OSStatus kErrSecValueRefUnsupported = -34012;
inline constexpr OSStatus kErrSecUnexpectedError = -99999;

// Item attributes.
inline constexpr std::string_view kSecClass = "class";
inline constexpr std::string_view kSecAttrAccessible = "accessible";
inline constexpr std::string_view kSecAttrAccessControl = "accessControl";
inline constexpr std::string_view kSecAttrAccessGroup = "accessGroup";
inline constexpr std::string_view kSecAttrSynchronizable = "synchronizable";
inline constexpr std::string_view kSecAttrCreationDate = "creationDate";
inline constexpr std::string_view kSecAttrModificationDate = "modificationDate";
inline constexpr std::string_view kSecAttrDescription = "description";
inline constexpr std::string_view kSecAttrComment = "comment";
inline constexpr std::string_view kSecAttrCreator = "creator";
inline constexpr std::string_view kSecAttrType = "type";
inline constexpr std::string_view kSecAttrLabel = "label";
inline constexpr std::string_view kSecAttrIsInvisible = "isInvisible";
inline constexpr std::string_view kSecAttrIsNegative = "isNegative";
inline constexpr std::string_view kSecAttrAccount = "account";
inline constexpr std::string_view kSecAttrService = "service";
inline constexpr std::string_view kSecAttrGeneric = "generic";
inline constexpr std::string_view kSecAttrSecurityDomain = "securityDomain";
inline constexpr std::string_view kSecAttrServer = "server";
inline constexpr std::string_view kSecAttrProtocol = "protocol";
inline constexpr std::string_view kSecAttrAuthenticationType = "authenticationType";
inline constexpr std::string_view kSecAttrPort = "port";
inline constexpr std::string_view kSecAttrPath = "path";

// Search and result controls.
inline constexpr std::string_view kSecMatchLimit = "matchLimit";
inline constexpr std::string_view kSecReturnData = "returnData";
inline constexpr std::string_view kSecReturnAttributes = "returnAttributes";
inline constexpr std::string_view kSecReturnRef = "returnRef";
inline constexpr std::string_view kSecReturnPersistentRef = "returnPersistentRef";
inline constexpr std::string_view kSecValueData = "valueData";
inline constexpr std::string_view kSecValueRef = "valueRef";
inline constexpr std::string_view kSecValuePersistentRef = "valuePersistentRef";
inline constexpr std::string_view kSecUseOperationPrompt = "operationPrompt";
inline constexpr std::string_view kSecUseAuthenticationUI = "authenticationUI";
inline constexpr std::string_view kSecUseAuthenticationContext = "authenticationContext";

// Values of kSecUseAuthenticationUI.
inline constexpr std::string_view kSecUseAuthenticationUIAllow = "allow";
inline constexpr std::string_view kSecUseAuthenticationUIFail = "fail";
inline constexpr std::string_view kSecUseAuthenticationUISkip = "skip";

// Values of kSecClass.
inline constexpr std::string_view kSecClassGenericPassword = "genericPassword";
inline constexpr std::string_view kSecClassInternetPassword = "internetPassword";

// Values of kSecAttrProtocol.
inline constexpr std::string_view kSecAttrProtocolFTP = "ftp";
inline constexpr std::string_view kSecAttrProtocolFTPAccount = "ftpAccount";
inline constexpr std::string_view kSecAttrProtocolHTTP = "http";
inline constexpr std::string_view kSecAttrProtocolIRC = "irc";
inline constexpr std::string_view kSecAttrProtocolNNTP = "nntp";
inline constexpr std::string_view kSecAttrProtocolPOP3 = "pop3";
inline constexpr std::string_view kSecAttrProtocolSMTP = "smtp";
inline constexpr std::string_view kSecAttrProtocolSOCKS = "socks";
inline constexpr std::string_view kSecAttrProtocolIMAP = "imap";
inline constexpr std::string_view kSecAttrProtocolLDAP = "ldap";
inline constexpr std::string_view kSecAttrProtocolAppleTalk = "appleTalk";
inline constexpr std::string_view kSecAttrProtocolAFP = "afp";
inline constexpr std::string_view kSecAttrProtocolTelnet = "telnet";
inline constexpr std::string_view kSecAttrProtocolSSH = "ssh";
inline constexpr std::string_view kSecAttrProtocolFTPS = "ftps";
inline constexpr std::string_view kSecAttrProtocolHTTPS = "https";
inline constexpr std::string_view kSecAttrProtocolHTTPProxy = "httpProxy";
inline constexpr std::string_view kSecAttrProtocolHTTPSProxy = "httpsProxy";
inline constexpr std::string_view kSecAttrProtocolFTPProxy = "ftpProxy";
inline constexpr std::string_view kSecAttrProtocolSMB = "smb";
inline constexpr std::string_view kSecAttrProtocolRTSP = "rtsp";
inline constexpr std::string_view kSecAttrProtocolRTSPProxy = "rtspProxy";
inline constexpr std::string_view kSecAttrProtocolDAAP = "daap";
inline constexpr std::string_view kSecAttrProtocolEPPC = "eppc";
inline constexpr std::string_view kSecAttrProtocolIPP = "ipp";
inline constexpr std::string_view kSecAttrProtocolNNTPS = "nntps";
inline constexpr std::string_view kSecAttrProtocolLDAPS = "ldaps";
inline constexpr std::string_view kSecAttrProtocolTelnetS = "telnetS";
inline constexpr std::string_view kSecAttrProtocolIMAPS = "imaps";
inline constexpr std::string_view kSecAttrProtocolIRCS = "ircs";
inline constexpr std::string_view kSecAttrProtocolPOP3S = "pop3S";

// Values of kSecAttrAuthenticationType.
inline constexpr std::string_view kSecAttrAuthenticationTypeNTLM = "ntlm";
inline constexpr std::string_view kSecAttrAuthenticationTypeMSN = "msn";
inline constexpr std::string_view kSecAttrAuthenticationTypeDPA = "dpa";
inline constexpr std::string_view kSecAttrAuthenticationTypeRPA = "rpa";
inline constexpr std::string_view kSecAttrAuthenticationTypeHTTPBasic = "httpBasic";
inline constexpr std::string_view kSecAttrAuthenticationTypeHTTPDigest = "httpDigest";
inline constexpr std::string_view kSecAttrAuthenticationTypeHTMLForm = "htmlForm";
inline constexpr std::string_view kSecAttrAuthenticationTypeDefault = "default";

// Values of kSecAttrAccessible. The login keyring has no per-item protection classes; the value
// is kept with the item so that it reads back as written.
inline constexpr std::string_view kSecAttrAccessibleWhenUnlocked = "whenUnlocked";
inline constexpr std::string_view kSecAttrAccessibleAfterFirstUnlock = "afterFirstUnlock";
inline constexpr std::string_view kSecAttrAccessibleAlways = "always";
inline constexpr std::string_view kSecAttrAccessibleWhenPasscodeSetThisDeviceOnly =
    "whenPasscodeSetThisDeviceOnly";
inline constexpr std::string_view kSecAttrAccessibleWhenUnlockedThisDeviceOnly =
    "whenUnlockedThisDeviceOnly";
inline constexpr std::string_view kSecAttrAccessibleAfterFirstUnlockThisDeviceOnly =
    "afterFirstUnlockThisDeviceOnly";
inline constexpr std::string_view kSecAttrAccessibleAlwaysThisDeviceOnly = "alwaysThisDeviceOnly";

}  // namespace tessra::platform::security
