// The vocabulary of a byte-pair encoding: a map from byte strings to ranks.
//
// A rank is a token's id, and lower ranks merge first. The map is built once from a parsed
// vocabulary and then frozen into tables laid out for the encoder's hot loop: direct tables for
// one- and two-byte strings, a small table of the lowest-ranked (most common) short tokens that
// stays in the processor's cache, and an open-addressing table of everything. Immutable after
// construction; may be read from any number of threads.
#pragma once

#include <cstdint>
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
        if (bytes.size() <= 8 && !m_hot.empty()) {
          if (Rank rank = findHot(bytes); rank != kNoRank) return rank;
        }
    }
    return findInTable(bytes);
  }
  bool contains(std::string_view bytes) const { return find(bytes) != kNoRank; }

  std::size_t size() const { return m_size; }
  bool empty() const { return m_size == 0; }
  // The highest rank, or 0 when the vocabulary is empty.
  Rank maxRank() const { return m_maxRank; }

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

  static std::uint64_t headOf(std::string_view bytes);
  static std::size_t pairIndex(std::string_view bytes) {
    return static_cast<unsigned char>(bytes[0]) << 8 | static_cast<unsigned char>(bytes[1]);
  }
  std::size_t slotIndex(std::uint64_t hash) const { return hash & m_mask; }
  Rank findHot(std::string_view bytes) const;
  Rank findInTable(std::string_view bytes) const;
  void buildShortcuts();

  std::string m_arena;  // the key bytes of every entry, back to back
  std::vector<Slot> m_slots;
  std::size_t m_mask = 0;
  std::size_t m_size = 0;
  Rank m_maxRank = 0;

  std::vector<Rank> m_byteRanks = std::vector<Rank>(256, kNoRank);
  std::vector<std::int32_t> m_pairRanks = std::vector<std::int32_t>(65536, kAbsent);
  std::vector<HotSlot> m_hot;
  std::size_t m_hotMask = 0;
};

// The hash of a byte string used by the rank table; fast on the short strings tokens are made of.
std::uint64_t hashBytes(std::string_view bytes);

}  // namespace tessra::tokenizer
