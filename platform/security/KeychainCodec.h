// The byte form in which the keychain file keeps item attributes: a tagged, length-prefixed
// encoding of property-list values (plus absent, and access-control objects). Decoding
// checks every length against what is left and refuses trailing bytes and deep nesting.
#pragma once

#include <optional>

#include "platform/foundation/Value.h"

namespace security {

// nullopt when the value holds an object other than an access control.
std::optional<Bytes> encodeKeychainValue(const Value& value);
// nullopt for anything that encodeKeychainValue could not have written.
std::optional<Value> decodeKeychainValue(const Bytes& bytes);
std::optional<Value> decodeKeychainValue(const std::uint8_t* data, std::size_t size);

}
