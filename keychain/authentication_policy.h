// `AuthenticationPolicy`: the access-control flags an item may be protected with, as an option
// set over one 64-bit mask.
//
//   auto policy = AuthenticationPolicy({AuthenticationPolicy::userPresence(),
//                                       AuthenticationPolicy::devicePasscode()});
//
// The login keyring has no per-item access control: a keychain given a policy fails its writes
// with `Status::unimplemented`. The set itself is plain data and works everywhere.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>

namespace tessra::keychain {

class AuthenticationPolicy {
 public:
  constexpr AuthenticationPolicy() = default;
  constexpr explicit AuthenticationPolicy(std::uint64_t rawValue) : m_rawValue(rawValue) {}
  // The union of all the given values; an empty list gives the empty set.
  constexpr AuthenticationPolicy(std::initializer_list<AuthenticationPolicy> members) {
    for (auto member : members) m_rawValue |= member.m_rawValue;
  }

  static constexpr AuthenticationPolicy userPresence() { return AuthenticationPolicy(1u << 0); }
  static constexpr AuthenticationPolicy biometryAny() { return AuthenticationPolicy(1u << 1); }
  static constexpr AuthenticationPolicy biometryCurrentSet() {
    return AuthenticationPolicy(1u << 3);
  }
  static constexpr AuthenticationPolicy devicePasscode() { return AuthenticationPolicy(1u << 4); }
  static constexpr AuthenticationPolicy watch() { return AuthenticationPolicy(1u << 5); }
  // Any one of the other constraints suffices ("or" is a C++ keyword, hence the underscore).
  static constexpr AuthenticationPolicy or_() { return AuthenticationPolicy(1u << 14); }
  // All of the other constraints are needed.
  static constexpr AuthenticationPolicy and_() { return AuthenticationPolicy(1u << 15); }
  static constexpr AuthenticationPolicy privateKeyUsage() {
    return AuthenticationPolicy(std::uint64_t{1} << 30);
  }
  static constexpr AuthenticationPolicy applicationPassword() {
    return AuthenticationPolicy(std::uint64_t{1} << 31);
  }

  constexpr std::uint64_t rawValue() const { return m_rawValue; }
  constexpr bool isEmpty() const { return m_rawValue == 0; }

  constexpr AuthenticationPolicy unionWith(AuthenticationPolicy other) const {
    return AuthenticationPolicy(m_rawValue | other.m_rawValue);
  }
  constexpr AuthenticationPolicy intersection(AuthenticationPolicy other) const {
    return AuthenticationPolicy(m_rawValue & other.m_rawValue);
  }
  constexpr AuthenticationPolicy symmetricDifference(AuthenticationPolicy other) const {
    return AuthenticationPolicy(m_rawValue ^ other.m_rawValue);
  }
  constexpr AuthenticationPolicy subtracting(AuthenticationPolicy other) const {
    return AuthenticationPolicy(m_rawValue & ~other.m_rawValue);
  }
  constexpr bool contains(AuthenticationPolicy member) const {
    return (m_rawValue & member.m_rawValue) == member.m_rawValue;
  }
  constexpr bool isSubset(AuthenticationPolicy of) const { return of.contains(*this); }
  constexpr bool isSuperset(AuthenticationPolicy of) const { return contains(of); }
  constexpr bool isDisjoint(AuthenticationPolicy with) const {
    return (m_rawValue & with.m_rawValue) == 0;
  }

  // Adds the member; true when it was not there before.
  constexpr bool insert(AuthenticationPolicy member) {
    bool inserted = !contains(member);
    m_rawValue |= member.m_rawValue;
    return inserted;
  }
  // Removes the member; the bits that were there, nothing when none was.
  constexpr std::optional<AuthenticationPolicy> remove(AuthenticationPolicy member) {
    AuthenticationPolicy removed = intersection(member);
    m_rawValue &= ~member.m_rawValue;
    if (removed.isEmpty()) return std::nullopt;
    return removed;
  }
  // Adds the member; the bits that were already there, nothing when none was.
  constexpr std::optional<AuthenticationPolicy> update(AuthenticationPolicy member) {
    AuthenticationPolicy present = intersection(member);
    m_rawValue |= member.m_rawValue;
    if (present.isEmpty()) return std::nullopt;
    return present;
  }

  constexpr bool operator==(const AuthenticationPolicy&) const = default;

 private:
  std::uint64_t m_rawValue = 0;
};

}  // namespace tessra::keychain
