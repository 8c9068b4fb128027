// The attribute dictionary that every item operation takes and returns: text keys (the names of
// item_constants.h) to values of a few kinds.
//
//   Dictionary query{{kSecClass, std::string(kSecClassGenericPassword)},
//                    {kSecAttrService, std::string("org.example")},
//                    {kSecMatchLimit, MatchLimit::one},
//                    {kSecReturnData, true}};
//
// Texts are UTF-8 `std::string`s, byte buffers `Bytes`, numbers `std::int64_t`, dates
// `platform::Date`. A few platform objects have their own types: the match limits, the "any"
// value of kSecAttrSynchronizable, and the access-control and authentication-context handles,
// which the login keyring cannot honour (the operations answer kErrSecUnimplemented for them).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "platform/foundation/base64.h"
#include "platform/foundation/date.h"

namespace tessra::platform::security {

enum class MatchLimit { one, all };

// kSecAttrSynchronizableAny: a query matches items whatever their synchronizable state.
struct SynchronizableAny {
  bool operator==(const SynchronizableAny&) const = default;
};

// An access-control object. Creating one always fails on this platform; the type exists so that
// dictionaries and item records can name it.
struct AccessControl {};

// A caller-supplied authentication context. It has no counterpart in the login keyring.
struct AuthenticationContext {};

using Value = std::variant<bool, std::int64_t, std::string, Bytes, Date, MatchLimit,
                           SynchronizableAny, std::shared_ptr<const AccessControl>,
                           std::shared_ptr<const AuthenticationContext>>;

using Dictionary = std::map<std::string, Value, std::less<>>;

// What a search hands back, after the return keys of its query: nothing (no return key), the
// data of one item, the attributes of one item, or one of those per item (kSecMatchLimitAll).
using CopyResult =
    std::variant<std::monostate, Bytes, Dictionary, std::vector<Bytes>, std::vector<Dictionary>>;

// A one-line text form for diagnostics, e.g. `[account: "a", valueData: <12 bytes>]`. Byte
// values are shown by their size only, so a secret never reaches a log through it.
std::string describe(const Value& value);
std::string describe(const Dictionary& dictionary);

}  // namespace tessra::platform::security
