#include "tokenizer/ranks.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <stdexcept>

namespace tessra::tokenizer {

Ranks::Ranks(const std::unordered_map<std::string, Rank>& entries) {
  if (entries.empty()) return;
  // At most half full, so probe runs stay short.
  std::size_t capacity = std::bit_ceil(entries.size() * 2);
  m_slots.assign(capacity, Slot{});
  m_mask = capacity - 1;
  bool first = true;
  for (const auto& [bytes, rank] : entries) {
    // The sentinel marks "no rank" in the merge, so a token carrying it could never be found;
    // nor could an empty token, which no lookup asks for. Kept, either would make the table
    // differ from itself.
    if (rank == kNoRank || bytes.empty()) continue;
    if (m_arena.size() + bytes.size() >= kEmpty)
      throw std::length_error("The vocabulary is too large for the rank table");
    Slot slot;
    slot.head = headOf(bytes);
    slot.offset = static_cast<std::uint32_t>(m_arena.size());
    slot.length = static_cast<std::uint32_t>(bytes.size());
    slot.rank = rank;
    m_arena += bytes;
    std::size_t index = slotIndex(hashBytes(bytes));
    while (m_slots[index].offset != kEmpty) index = (index + 1) & m_mask;
    m_slots[index] = slot;
    m_maxRank = first ? rank : std::max(m_maxRank, rank);
    m_longestEntry = std::max(m_longestEntry, bytes.size());
    first = false;
    ++m_size;
  }
  buildShortcuts();
}

void Ranks::buildShortcuts() {
  std::vector<std::pair<Rank, const Slot*>> shortTokens;
  m_filter.assign((kFilterMask + 1) / 64, 0);
  for (const Slot& slot : m_slots) {
    if (slot.offset == kEmpty) continue;
    const bool fits = slot.rank >= 0 && slot.rank <= std::numeric_limits<std::int32_t>::max();
    // Everything `find` looks up in the full table must pass the filter: the longer tokens and
    // the pairs whose rank the pair table cannot hold.
    if (slot.length > 2 || (slot.length == 2 && !fits)) {
      const std::uint64_t bit =
          (hashBytes(std::string_view(m_arena.data() + slot.offset, slot.length)) >> 40) &
          kFilterMask;
      m_filter[bit >> 6] |= std::uint64_t{1} << (bit & 63);
    }
    if (slot.length == 1) {
      m_byteRanks[static_cast<unsigned char>(m_arena[slot.offset])] = slot.rank;
    } else if (slot.length == 2) {
      m_pairRanks[pairIndex(std::string_view(m_arena).substr(slot.offset, 2))] =
          fits ? static_cast<std::int32_t>(slot.rank) : kElsewhere;
    } else if (slot.length <= 8 && fits) {
      shortTokens.emplace_back(slot.rank, &slot);
    }
  }
  // Lower ranks were merged earlier when the vocabulary was made: they are the common tokens.
  if (shortTokens.size() > kHotEntries) {
    std::nth_element(shortTokens.begin(), shortTokens.begin() + kHotEntries, shortTokens.end());
    shortTokens.resize(kHotEntries);
  }
  if (shortTokens.empty()) return;
  const std::size_t capacity = std::bit_ceil(shortTokens.size() * 2);
  m_hot.assign(capacity, HotSlot{});
  m_hotMask = capacity - 1;
  for (const auto& [rank, slot] : shortTokens) {
    const std::string_view bytes(m_arena.data() + slot->offset, slot->length);
    std::size_t index = hashBytes(bytes) & m_hotMask;
    while (m_hot[index].length != 0) index = (index + 1) & m_hotMask;
    m_hot[index] = {slot->head, static_cast<std::int32_t>(slot->length),
                    static_cast<std::int32_t>(rank)};
  }
}

Rank Ranks::findHot(std::string_view bytes, std::uint64_t hash) const {
  const std::uint64_t key = headOf(bytes);
  const auto length = static_cast<std::int32_t>(bytes.size());
  for (std::size_t index = hash & m_hotMask;; index = (index + 1) & m_hotMask) {
    const HotSlot& slot = m_hot[index];
    if (slot.length == 0) return kNoRank;
    if (slot.length == length && slot.key == key) return slot.rank;
  }
}

Rank Ranks::findInTable(std::string_view bytes, std::uint64_t hash) const {
  if (m_size == 0) return kNoRank;
  const std::uint64_t head = headOf(bytes);
  const std::size_t length = bytes.size();
  for (std::size_t index = slotIndex(hash);; index = (index + 1) & m_mask) {
    const Slot& slot = m_slots[index];
    if (slot.offset == kEmpty) return kNoRank;
    if (slot.length != length || slot.head != head) continue;
    if (length <= 8 ||
        std::memcmp(m_arena.data() + slot.offset + 8, bytes.data() + 8, length - 8) == 0)
      return slot.rank;
  }
}

std::unordered_map<std::string, Rank> Ranks::entries() const {
  std::unordered_map<std::string, Rank> result;
  result.reserve(m_size);
  for (const Slot& slot : m_slots) {
    if (slot.offset == kEmpty) continue;
    result.emplace(m_arena.substr(slot.offset, slot.length), slot.rank);
  }
  return result;
}

bool Ranks::operator==(const Ranks& other) const {
  if (m_size != other.m_size) return false;
  for (const Slot& slot : m_slots) {
    if (slot.offset == kEmpty) continue;
    std::string_view key(m_arena.data() + slot.offset, slot.length);
    if (other.find(key) != slot.rank) return false;
  }
  return true;
}

}  // namespace tessra::tokenizer
