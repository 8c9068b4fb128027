// The vocabulary of a byte-pair encoding: a map from byte strings to ranks.
//
// A rank is a token's id, and lower ranks merge first. The map is built once from a parsed
// vocabulary and then frozen into tables laid out for the encoder's hot loop: direct tables for
// one- and two-byte strings, a small table of the lowest-ranked (most common) short tokens that
// stays in the processor's cache, and an open-addressing table of everything. Immutable after
// construction; may be read from any number of threads.
#pragma once

#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tessra::tokenizer {

using Rank = std::int64_t;

// Marks "no rank" inside the merge; never a real rank.
inline constexpr Rank kNoRank = std::numeric_limits<Rank>::max();

namespace detail {
// The first up to eight bytes as one little-endian word, zero-filled: the same value as a
// memcpy of `n` bytes, without a call for the variable length.
inline std::uint64_t loadUpTo8(const char* p, std::size_t n) {
  std::uint64_t value = 0;
  if (n >= 8) {
    std::memcpy(&value, p, 8);
  } else if (n >= 4) {
    std::uint32_t low, high;
    std::memcpy(&low, p, 4);
    std::memcpy(&high, p + n - 4, 4);
    value = low | static_cast<std::uint64_t>(high) << ((n - 4) * 8);
  } else if (n >= 2) {
    std::uint16_t low, high;
    std::memcpy(&low, p, 2);
    std::memcpy(&high, p + n - 2, 2);
    value = low | static_cast<std::uint64_t>(high) << ((n - 2) * 8);
  } else if (n == 1) {
    value = static_cast<unsigned char>(*p);
  }
  return value;
}

inline std::uint64_t mixBits(std::uint64_t x) {
  x ^= x >> 33;
  x *= 0xff51afd7ed558ccdULL;
  x ^= x >> 33;
  x *= 0xc4ceb9fe1a85ec53ULL;
  x ^= x >> 33;
  return x;
}
}  // namespace detail

// The hash of a byte string used by the rank table; fast on the short strings tokens are made of.
inline std::uint64_t hashBytes(std::string_view bytes) {
  const char* p = bytes.data();
  std::size_t n = bytes.size();
  if (n <= 8) {
    const std::uint64_t chunk = detail::loadUpTo8(p, n);
    return detail::mixBits(chunk ^ (static_cast<std::uint64_t>(n) << 59) ^ 0x9e3779b97f4a7c15ULL);
  }
  std::uint64_t h = 0x9e3779b97f4a7c15ULL ^ n;
  while (n >= 8) {
    std::uint64_t chunk;
    std::memcpy(&chunk, p, 8);
    h = (h ^ chunk) * 0x94d049bb133111ebULL;
    h ^= h >> 31;
    p += 8;
    n -= 8;
  }
  if (n > 0) {
    const std::uint64_t chunk = detail::loadUpTo8(p, n);
    h = (h ^ chunk) * 0x94d049bb133111ebULL;
  }
  return detail::mixBits(h);
}

class Ranks {
 public:
  Ranks() = default;
  explicit Ranks(const std::unordered_map<std::string, Rank>& entries);

  // The rank of a byte string, or kNoRank when the vocabulary does not hold it.
  Rank find(std::string_view bytes) const {
    switch (bytes.size()) {
      case 1:
        return m_byteRanks[static_cast<unsigned char>(bytes[0])];
      case 2: {
        const std::int32_t rank = m_pairRanks[pairIndex(bytes)];
        if (rank >= 0) return rank;
        if (rank == kAbsent) return kNoRank;
        break;
      }
      default:
        break;
    }
    const std::uint64_t hash = hashBytes(bytes);
    if (bytes.size() <= 8 && !m_hot.empty()) {
      if (Rank rank = findHot(bytes, hash); rank != kNoRank) return rank;
    }
    // Most strings the merge asks about are not tokens; the filter, small enough to stay in the
    // cache, turns nearly all of them away before the big table is touched.
    const std::uint64_t bit = (hash >> 40) & kFilterMask;
    if (m_filter.empty() || !(m_filter[bit >> 6] >> (bit & 63) & 1)) return kNoRank;
    return findInTable(bytes, hash);
  }
  bool contains(std::string_view bytes) const { return find(bytes) != kNoRank; }

  std::size_t size() const { return m_size; }
  bool empty() const { return m_size == 0; }
  // The highest rank, or 0 when the vocabulary is empty.
  Rank maxRank() const { return m_maxRank; }
  // The byte length of the longest entry, or 0 when the vocabulary is empty.
  std::size_t longestEntry() const { return m_longestEntry; }

  // Every entry, in no particular order.
  std::unordered_map<std::string, Rank> entries() const;

  bool operator==(const Ranks& other) const;

 private:
  struct Slot {
    std::uint64_t head = 0;  // the first (up to) eight key bytes, zero-filled
    std::uint32_t offset = kEmpty;
    std::uint32_t length = 0;
    Rank rank = kNoRank;
  };
  static constexpr std::uint32_t kEmpty = std::numeric_limits<std::uint32_t>::max();

  // A short token with a small rank, in the cached table.
  struct HotSlot {
    std::uint64_t key = 0;    // the token's bytes, zero-filled
    std::int32_t length = 0;  // 0: empty
    std::int32_t rank = 0;
  };
  static constexpr std::int32_t kAbsent = -1;
  static constexpr std::int32_t kElsewhere = -2;  // a pair whose rank needs 64 bits
  static constexpr std::size_t kHotEntries = 16384;
  static constexpr std::uint64_t kFilterMask = (1u << 21) - 1;

  static std::uint64_t headOf(std::string_view bytes) {
    return detail::loadUpTo8(bytes.data(), bytes.size() < 8 ? bytes.size() : 8);
  }
  static std::size_t pairIndex(std::string_view bytes) {
    return static_cast<unsigned char>(bytes[0]) << 8 | static_cast<unsigned char>(bytes[1]);
  }
  std::size_t slotIndex(std::uint64_t hash) const { return hash & m_mask; }
  Rank findHot(std::string_view bytes, std::uint64_t hash) const;
  Rank findInTable(std::string_view bytes, std::uint64_t hash) const;
  void buildShortcuts();

  std::string m_arena;  // the key bytes of every entry, back to back
  std::vector<Slot> m_slots;
  std::size_t m_mask = 0;
  std::size_t m_size = 0;
  Rank m_maxRank = 0;
  std::size_t m_longestEntry = 0;

  std::vector<Rank> m_byteRanks = std::vector<Rank>(256, kNoRank);
  std::vector<std::int32_t> m_pairRanks = std::vector<std::int32_t>(65536, kAbsent);
  std::vector<HotSlot> m_hot;
  std::vector<std::uint64_t> m_filter;  // one bit per hash value of a token of 3 bytes or more
  std::size_t m_hotMask = 0;
};

}  // namespace tessra::tokenizer
