// Status codes and dictionary keys of the keychain. Keys and values are our own strings;
// callers always use the names, never the texts.
#pragma once

#include <cstdint>

using OSStatus = std::int32_t;

inline constexpr OSStatus errSecSuccess = 0;
inline constexpr OSStatus errSecIO = -36; // the keychain file could not be read or written
inline constexpr OSStatus errSecParam = -50; // a malformed query or attribute
inline constexpr OSStatus errSecUserCanceled = -128;
inline constexpr OSStatus errSecNotAvailable = -25291; // no keychain could be opened
inline constexpr OSStatus errSecDuplicateItem = -25299;
inline constexpr OSStatus errSecItemNotFound = -25300;
inline constexpr OSStatus errSecInteractionNotAllowed = -25308;
inline constexpr OSStatus errSecDecode = -26275; // a stored item could not be decoded
inline constexpr OSStatus errSecMissingEntitlement = -34018;

// Item classes.
inline constexpr const char* kSecClass = "class";
inline constexpr const char* kSecClassGenericPassword = "genericPassword";
inline constexpr const char* kSecClassInternetPassword = "internetPassword";

// Attributes.
inline constexpr const char* kSecAttrService = "service";
inline constexpr const char* kSecAttrAccount = "account";
inline constexpr const char* kSecAttrAccessGroup = "accessGroup";
inline constexpr const char* kSecAttrServer = "server";
inline constexpr const char* kSecAttrPort = "port"; // an integer
inline constexpr const char* kSecAttrProtocol = "protocol";
inline constexpr const char* kSecAttrAuthenticationType = "authenticationType";
// true, false, or kSecAttrSynchronizableAny in queries (absent in a query means false).
inline constexpr const char* kSecAttrSynchronizable = "synchronizable";
inline constexpr const char* kSecAttrSynchronizableAny = "synchronizableAny";
inline constexpr const char* kSecAttrAccessible = "accessible";
inline constexpr const char* kSecAttrAccessControl = "accessControl"; // a SecAccessControl object
inline constexpr const char* kSecAttrLabel = "label";
inline constexpr const char* kSecAttrComment = "comment";
inline constexpr const char* kSecAttrGeneric = "generic"; // any property-list value

// Values.
inline constexpr const char* kSecValueData = "valueData";

// What a search returns and how many items.
inline constexpr const char* kSecReturnData = "returnData";
inline constexpr const char* kSecReturnAttributes = "returnAttributes";
inline constexpr const char* kSecMatchLimit = "matchLimit";
inline constexpr const char* kSecMatchLimitOne = "matchLimitOne";
inline constexpr const char* kSecMatchLimitAll = "matchLimitAll";

// Authentication interface.
inline constexpr const char* kSecUseOperationPrompt = "useOperationPrompt";
inline constexpr const char* kSecUseNoAuthenticationUI = "useNoAuthenticationUI"; // a boolean
inline constexpr const char* kSecUseAuthenticationUI = "useAuthenticationUI";
inline constexpr const char* kSecUseAuthenticationUIAllow = "useAuthenticationUIAllow";
inline constexpr const char* kSecUseAuthenticationUIFail = "useAuthenticationUIFail";

// Accessibility.
inline constexpr const char* kSecAttrAccessibleWhenUnlocked = "whenUnlocked";
inline constexpr const char* kSecAttrAccessibleAfterFirstUnlock = "afterFirstUnlock";
inline constexpr const char* kSecAttrAccessibleAlways = "always";
inline constexpr const char* kSecAttrAccessibleWhenPasscodeSetThisDeviceOnly = "whenPasscodeSetThisDeviceOnly";
inline constexpr const char* kSecAttrAccessibleWhenUnlockedThisDeviceOnly = "whenUnlockedThisDeviceOnly";
inline constexpr const char* kSecAttrAccessibleAfterFirstUnlockThisDeviceOnly = "afterFirstUnlockThisDeviceOnly";
inline constexpr const char* kSecAttrAccessibleAlwaysThisDeviceOnly = "alwaysThisDeviceOnly";

// Protocols of internet passwords.
inline constexpr const char* kSecAttrProtocolFTP = "ftp";
inline constexpr const char* kSecAttrProtocolFTPAccount = "ftpAccount";
inline constexpr const char* kSecAttrProtocolHTTP = "http";
inline constexpr const char* kSecAttrProtocolIRC = "irc";
inline constexpr const char* kSecAttrProtocolNNTP = "nntp";
inline constexpr const char* kSecAttrProtocolPOP3 = "pop3";
inline constexpr const char* kSecAttrProtocolSMTP = "smtp";
inline constexpr const char* kSecAttrProtocolSOCKS = "socks";
inline constexpr const char* kSecAttrProtocolIMAP = "imap";
inline constexpr const char* kSecAttrProtocolLDAP = "ldap";
inline constexpr const char* kSecAttrProtocolAppleTalk = "appleTalk";
inline constexpr const char* kSecAttrProtocolAFP = "afp";
inline constexpr const char* kSecAttrProtocolTelnet = "telnet";
inline constexpr const char* kSecAttrProtocolSSH = "ssh";
inline constexpr const char* kSecAttrProtocolFTPS = "ftps";
inline constexpr const char* kSecAttrProtocolHTTPS = "https";
inline constexpr const char* kSecAttrProtocolHTTPProxy = "httpProxy";
inline constexpr const char* kSecAttrProtocolHTTPSProxy = "httpsProxy";
inline constexpr const char* kSecAttrProtocolFTPProxy = "ftpProxy";
inline constexpr const char* kSecAttrProtocolSMB = "smb";
inline constexpr const char* kSecAttrProtocolRTSP = "rtsp";
inline constexpr const char* kSecAttrProtocolRTSPProxy = "rtspProxy";
inline constexpr const char* kSecAttrProtocolDAAP = "daap";
inline constexpr const char* kSecAttrProtocolEPPC = "eppc";
inline constexpr const char* kSecAttrProtocolNNTPS = "nntps";
inline constexpr const char* kSecAttrProtocolLDAPS = "ldaps";
inline constexpr const char* kSecAttrProtocolTelnetS = "telnets";
inline constexpr const char* kSecAttrProtocolIRCS = "ircs";
inline constexpr const char* kSecAttrProtocolPOP3S = "pop3s";

// Authentication types of internet passwords.
inline constexpr const char* kSecAttrAuthenticationTypeNTLM = "ntlm";
inline constexpr const char* kSecAttrAuthenticationTypeMSN = "msn";
inline constexpr const char* kSecAttrAuthenticationTypeDPA = "dpa";
inline constexpr const char* kSecAttrAuthenticationTypeRPA = "rpa";
inline constexpr const char* kSecAttrAuthenticationTypeHTTPBasic = "httpBasic";
inline constexpr const char* kSecAttrAuthenticationTypeHTTPDigest = "httpDigest";
inline constexpr const char* kSecAttrAuthenticationTypeHTMLForm = "htmlForm";
inline constexpr const char* kSecAttrAuthenticationTypeDefault = "default";

// The password of a shared web credential, beside kSecAttrServer and kSecAttrAccount.
inline constexpr const char* kSecSharedPassword = "sharedPassword";
