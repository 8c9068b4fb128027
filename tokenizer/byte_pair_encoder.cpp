#include "tokenizer/byte_pair_encoder.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>

#include "platform/foundation/utf8.h"

namespace tessra::tokenizer {

namespace {

// Ranks of the parts a piece's merge left: a part the vocabulary lacks counts as the id 0.
Rank rankOrZero(Rank rank) { return rank == kNoRank ? 0 : rank; }

// The working lists of the fast merge, kept per thread so the usual pieces do not allocate.
struct MergeScratch {
  std::vector<std::uint32_t> next;  // the start of the following part, by part start
  std::vector<std::uint32_t> previous;
  std::vector<Rank> pairRank;  // the rank of a part joined with the following part
  std::vector<Rank> partRank;  // the rank of the part itself, once known
  std::vector<std::pair<Rank, std::uint32_t>> heap;
};

MergeScratch& mergeScratch() {
  thread_local MergeScratch scratch;
  return scratch;
}

template <class OnPiece>
void splitReference(const SplitPattern& regex, std::string_view text, OnPiece&& onPiece) {
  regex.forEachMatch(text, std::function<void(std::string_view)>(onPiece));
}

// The encoder works on valid UTF-8, as the split patterns are defined on characters.
std::string_view validText(std::string_view text, std::string& storage) {
  // An ASCII byte never continues a sequence, so the text is valid exactly when every stretch
  // between ASCII bytes is: ASCII is skipped a word at a time and only those stretches are checked.
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t size = text.size();
  std::size_t i = 0;
  while (i < size) {
    for (std::uint64_t word; i + 8 <= size; i += 8) {
      std::memcpy(&word, bytes + i, 8);
      if (word & 0x8080808080808080ULL) break;
    }
    while (i < size && bytes[i] < 0x80) ++i;
    if (i == size) break;
    std::size_t end = i + 1;
    while (end < size && bytes[end] >= 0x80) ++end;
    if (!platform::isValidUtf8(text.substr(i, end - i))) {
      storage = platform::sanitizeUtf8(text);
      return storage;
    }
    i = end;
  }
  return text;
}

Rank findRank(const ReferenceRanks& ranks, std::string_view bytes) {
  auto it = ranks.find(bytes);
  return it == ranks.end() ? kNoRank : it->second;
}

void appendPieceByReference(std::string_view piece, const ReferenceRanks& ranks,
                            std::vector<Rank>& out) {
  if (piece.empty()) return;
  // A whole vocabulary entry is one token, even where merging pairs would end elsewhere.
  const Rank whole = findRank(ranks, piece);
  if (whole != kNoRank) {
    out.push_back(whole);
    return;
  }
  if (piece.size() == 1) {
    out.push_back(0);
    return;
  }
  bytePairEncode(piece, ranks, out);
}

}  // namespace

void bytePairEncode(std::string_view piece, const ReferenceRanks& ranks, std::vector<Rank>& out) {
  struct Part {
    std::size_t start;
    Rank rank;
  };
  std::vector<Part> parts;
  parts.reserve(piece.size() + 1);
  for (std::size_t i = 0; i <= piece.size(); ++i) parts.push_back({i, kNoRank});

  auto windowRank = [&](std::size_t i, std::size_t skip) {
    if (i + skip + 2 >= parts.size()) return kNoRank;
    return findRank(ranks,
                    piece.substr(parts[i].start, parts[i + skip + 2].start - parts[i].start));
  };

  for (std::size_t i = 0; i + 2 < parts.size(); ++i) parts[i].rank = windowRank(i, 0);

  while (parts.size() >= 2) {
    Rank lowest = kNoRank;
    std::size_t index = 0;
    for (std::size_t i = 0; i < parts.size(); ++i) {
      if (parts[i].rank < lowest) {
        lowest = parts[i].rank;
        index = i;
      }
    }
    if (lowest == kNoRank) break;
    parts[index].rank = windowRank(index, 1);
    if (index > 0) parts[index - 1].rank = windowRank(index - 1, 1);
    parts.erase(parts.begin() + static_cast<std::ptrdiff_t>(index) + 1);
  }

  for (std::size_t k = 1; k < parts.size(); ++k) {
    const std::size_t start = parts[k - 1].start;
    out.push_back(rankOrZero(findRank(ranks, piece.substr(start, parts[k].start - start))));
  }
}

// Short pieces merge fastest by rescanning a few parts held on the stack; the heap pays off
// only on longer ones. Both merge the pair of lowest rank, leftmost first.
constexpr std::size_t kShortPiece = 48;

void mergeShortPiece(std::string_view piece, const Ranks& ranks, std::vector<Rank>& out) {
  std::uint32_t starts[kShortPiece + 1];
  Rank pairRanks[kShortPiece + 1];
  Rank partRanks[kShortPiece + 1];
  std::size_t count = piece.size() + 1;
  for (std::size_t i = 0; i < count; ++i) {
    starts[i] = static_cast<std::uint32_t>(i);
    pairRanks[i] = kNoRank;
    partRanks[i] = kNoRank;
  }
  auto window = [&](std::size_t i) {
    if (i + 2 >= count) return kNoRank;
    return ranks.find(piece.substr(starts[i], starts[i + 2] - starts[i]));
  };
  for (std::size_t i = 0; i + 2 < count; ++i) pairRanks[i] = window(i);
  for (;;) {
    Rank lowest = kNoRank;
    std::size_t index = 0;
    for (std::size_t i = 0; i + 2 < count; ++i) {
      if (pairRanks[i] < lowest) {
        lowest = pairRanks[i];
        index = i;
      }
    }
    if (lowest == kNoRank) break;
    for (std::size_t i = index + 1; i + 1 < count; ++i) {
      starts[i] = starts[i + 1];
      pairRanks[i] = pairRanks[i + 1];
      partRanks[i] = partRanks[i + 1];
    }
    --count;
    partRanks[index] = lowest;
    pairRanks[index] = window(index);
    if (index > 0) pairRanks[index - 1] = window(index - 1);
  }
  for (std::size_t k = 0; k + 1 < count; ++k) {
    const Rank rank = partRanks[k] != kNoRank
                          ? partRanks[k]
                          : ranks.find(piece.substr(starts[k], starts[k + 1] - starts[k]));
    out.push_back(rankOrZero(rank));
  }
}

void bytePairEncodeFast(std::string_view piece, const Ranks& ranks, std::vector<Rank>& out) {
  if (piece.size() <= kShortPiece) {
    mergeShortPiece(piece, ranks, out);
    return;
  }
  const auto size = static_cast<std::uint32_t>(piece.size());
  // The lists take some 40 bytes per byte of the piece; a rare long piece (a pasted run of one
  // character) gets lists of its own, so a worker thread does not hold them for good.
  constexpr std::size_t kLongestKeptPiece = 64 * 1024;
  MergeScratch ownScratch;
  MergeScratch& scratch = piece.size() <= kLongestKeptPiece ? mergeScratch() : ownScratch;
  auto& next = scratch.next;
  auto& previous = scratch.previous;
  auto& pairRank = scratch.pairRank;
  auto& partRank = scratch.partRank;
  auto& heap = scratch.heap;
  next.resize(size + 1);
  previous.resize(size + 1);
  pairRank.assign(size + 1, kNoRank);
  partRank.assign(size + 1, kNoRank);
  heap.clear();

  // The lowest rank first, and of equal ranks the leftmost part.
  constexpr auto later = std::greater<std::pair<Rank, std::uint32_t>>();
  auto push = [&](Rank rank, std::uint32_t start) {
    if (rank == kNoRank) return;
    heap.emplace_back(rank, start);
    std::push_heap(heap.begin(), heap.end(), later);
  };

  for (std::uint32_t i = 0; i <= size; ++i) {
    next[i] = i + 1;
    previous[i] = i == 0 ? 0 : i - 1;
  }
  for (std::uint32_t i = 0; i + 1 < size; ++i) {
    pairRank[i] = ranks.find(piece.substr(i, 2));
    if (pairRank[i] != kNoRank) heap.emplace_back(pairRank[i], i);
  }
  std::make_heap(heap.begin(), heap.end(), later);

  // Entries whose part has been merged away, or whose pair has changed since, are stale: the
  // part's current pair rank tells them apart.
  while (!heap.empty()) {
    std::pop_heap(heap.begin(), heap.end(), later);
    const auto [rank, start] = heap.back();
    heap.pop_back();
    if (pairRank[start] != rank) continue;

    const std::uint32_t removed = next[start];
    const std::uint32_t end = next[removed];
    next[start] = end;
    previous[end] = start;
    pairRank[removed] = kNoRank;
    partRank[start] = rank;

    pairRank[start] = end < size ? ranks.find(piece.substr(start, next[end] - start)) : kNoRank;
    push(pairRank[start], start);
    if (start > 0) {
      const std::uint32_t left = previous[start];
      pairRank[left] = ranks.find(piece.substr(left, end - left));
      push(pairRank[left], left);
    }
  }

  for (std::uint32_t start = 0; start < size; start = next[start]) {
    const Rank rank = partRank[start] != kNoRank
                          ? partRank[start]
                          : ranks.find(piece.substr(start, next[start] - start));
    out.push_back(rankOrZero(rank));
  }
}

BytePairEncoder::BytePairEncoder(std::shared_ptr<const Ranks> encoder,
                                 std::shared_ptr<const SplitPattern> regex)
    : m_encoder(std::move(encoder)), m_regex(std::move(regex)) {
  for (auto& [bytes, rank] : m_encoder->entries()) {
    auto [it, inserted] = m_decoder.try_emplace(rank, bytes);
    if (!inserted && bytes < it->second) it->second = std::move(bytes);
  }
}

std::vector<Rank> BytePairEncoder::encodeOrdinary(std::string_view text) const {
  std::string storage;
  text = validText(text, storage);
  std::vector<Rank> out;
  out.reserve(text.size() / 3);
  const Ranks& ranks = *m_encoder;

  // Long texts repeat the pieces that need merging (a word the vocabulary lacks, markup): the ids
  // of the last piece seen in each memo slot are already in `out`, so a repeat copies them.
  struct Memo {
    std::uint32_t start = 0;    // in the text
    std::uint32_t length = 0;   // 0: empty
    std::uint32_t firstId = 0;  // in `out`
    std::uint32_t idCount = 0;
  };
  constexpr std::size_t kMemoSlots = 4096;
  constexpr std::size_t kMemoFrom = 16 * 1024;
  constexpr std::size_t kMemoLongestPiece = 64;
  std::vector<Memo> memo;
  if (text.size() >= kMemoFrom && text.size() < UINT32_MAX) memo.resize(kMemoSlots);

  m_regex->forEachPiece(text, [&](std::string_view piece) {
    if (piece.empty()) return;
    if (const Rank whole = ranks.find(piece); whole != kNoRank) {
      out.push_back(whole);
      return;
    }
    if (piece.size() == 1) {
      out.push_back(0);
      return;
    }
    if (memo.empty() || piece.size() > kMemoLongestPiece) {
      bytePairEncodeFast(piece, ranks, out);
      return;
    }
    Memo& slot = memo[hashBytes(piece) & (kMemoSlots - 1)];
    if (slot.length == piece.size() &&
        std::memcmp(text.data() + slot.start, piece.data(), piece.size()) == 0) {
      for (std::uint32_t k = 0; k < slot.idCount; ++k) {
        const Rank id = out[slot.firstId + k];
        out.push_back(id);
      }
      return;
    }
    const std::size_t firstId = out.size();
    bytePairEncodeFast(piece, ranks, out);
    if (out.size() >= UINT32_MAX) return;
    slot = {static_cast<std::uint32_t>(piece.data() - text.data()),
            static_cast<std::uint32_t>(piece.size()), static_cast<std::uint32_t>(firstId),
            static_cast<std::uint32_t>(out.size() - firstId)};
  });
  return out;
}

std::vector<Rank> BytePairEncoder::encodeOrdinaryReference(std::string_view text) const {
  std::string storage;
  text = validText(text, storage);
  const ReferenceRanks& ranks = referenceRanks();
  std::vector<Rank> out;
  splitReference(*m_regex, text,
                 [&](std::string_view piece) { appendPieceByReference(piece, ranks, out); });
  return out;
}

const ReferenceRanks& BytePairEncoder::referenceRanks() const {
  std::call_once(m_referenceOnce, [this] {
    for (auto& [bytes, rank] : m_encoder->entries()) m_referenceRanks.emplace(bytes, rank);
  });
  return m_referenceRanks;
}

std::string BytePairEncoder::decode(const std::vector<Rank>& tokens) const {
  std::string bytes;
  for (Rank token : tokens) {
    auto it = m_decoder.find(token);
    if (it != m_decoder.end()) bytes += it->second;
  }
  if (!platform::isValidUtf8(bytes)) return {};
  return bytes;
}

}  // namespace tessra::tokenizer
