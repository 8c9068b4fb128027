// A set of edges of a rectangle, used to leave edges out of the edge operations.
//
// An option set over an 8-bit raw value. `LayoutEdge::none` is a bit of its own (64), not the
// empty set: no operation tests it, so it excludes nothing. A braced list of members is their
// union: `LayoutEdge{LayoutEdge::top, LayoutEdge::leading}` has the raw value 17.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <utility>

namespace tessra::constraints {

struct LayoutEdge {
  std::uint8_t rawValue = 0;

  static const LayoutEdge top;
  static const LayoutEdge bottom;
  static const LayoutEdge left;
  static const LayoutEdge right;
  static const LayoutEdge leading;
  static const LayoutEdge trailing;
  static const LayoutEdge none;

  constexpr LayoutEdge() = default;
  constexpr explicit LayoutEdge(std::uint8_t raw) : rawValue(raw) {}
  constexpr LayoutEdge(std::initializer_list<LayoutEdge> members) {
    for (LayoutEdge member : members) rawValue |= member.rawValue;
  }

  constexpr bool operator==(const LayoutEdge&) const = default;

  constexpr bool isEmpty() const { return rawValue == 0; }
  constexpr bool contains(LayoutEdge member) const {
    return (rawValue & member.rawValue) == member.rawValue;
  }
  constexpr bool isSubset(LayoutEdge of) const { return (rawValue & ~of.rawValue) == 0; }
  constexpr bool isSuperset(LayoutEdge of) const { return of.isSubset(*this); }
  constexpr bool isDisjoint(LayoutEdge with) const { return (rawValue & with.rawValue) == 0; }

  // `union` is a keyword, so the union is `unionWith`.
  constexpr LayoutEdge unionWith(LayoutEdge other) const {
    return LayoutEdge(static_cast<std::uint8_t>(rawValue | other.rawValue));
  }
  constexpr LayoutEdge intersection(LayoutEdge other) const {
    return LayoutEdge(static_cast<std::uint8_t>(rawValue & other.rawValue));
  }
  constexpr LayoutEdge symmetricDifference(LayoutEdge other) const {
    return LayoutEdge(static_cast<std::uint8_t>(rawValue ^ other.rawValue));
  }
  constexpr LayoutEdge subtracting(LayoutEdge other) const {
    return LayoutEdge(static_cast<std::uint8_t>(rawValue & ~other.rawValue));
  }

  constexpr void formUnion(LayoutEdge other) { *this = unionWith(other); }
  constexpr void formIntersection(LayoutEdge other) { *this = intersection(other); }
  constexpr void formSymmetricDifference(LayoutEdge other) { *this = symmetricDifference(other); }
  constexpr void subtract(LayoutEdge other) { *this = subtracting(other); }

  // Whether the member was new, and the member as it is in the set afterwards.
  constexpr std::pair<bool, LayoutEdge> insert(LayoutEdge member) {
    if (contains(member)) return {false, intersection(member)};
    formUnion(member);
    return {true, member};
  }
  // The bits removed, or nothing when none of them was present.
  constexpr std::optional<LayoutEdge> remove(LayoutEdge member) {
    const LayoutEdge present = intersection(member);
    if (present.isEmpty()) return std::nullopt;
    subtract(member);
    return present;
  }
  // Adds the member; returns the bits that were already present, or nothing.
  constexpr std::optional<LayoutEdge> update(LayoutEdge member) {
    const LayoutEdge present = intersection(member);
    formUnion(member);
    if (present.isEmpty()) return std::nullopt;
    return present;
  }
};

inline constexpr LayoutEdge LayoutEdge::top{std::uint8_t{1}};
inline constexpr LayoutEdge LayoutEdge::bottom{std::uint8_t{2}};
inline constexpr LayoutEdge LayoutEdge::left{std::uint8_t{4}};
inline constexpr LayoutEdge LayoutEdge::right{std::uint8_t{8}};
inline constexpr LayoutEdge LayoutEdge::leading{std::uint8_t{16}};
inline constexpr LayoutEdge LayoutEdge::trailing{std::uint8_t{32}};
inline constexpr LayoutEdge LayoutEdge::none{std::uint8_t{64}};

constexpr LayoutEdge operator|(LayoutEdge a, LayoutEdge b) { return a.unionWith(b); }
constexpr LayoutEdge operator&(LayoutEdge a, LayoutEdge b) { return a.intersection(b); }
constexpr LayoutEdge operator^(LayoutEdge a, LayoutEdge b) { return a.symmetricDifference(b); }

}  // namespace tessra::constraints
