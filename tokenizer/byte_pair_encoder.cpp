#include "tokenizer/byte_pair_encoder.h"

#include <algorithm>
#include <cstdint>
#include <functional>

#include "platform/foundation/utf8.h"

namespace tessra::tokenizer {

namespace {

// Ranks of the parts a piece's merge left: a part the vocabulary lacks counts as the id 0.
Rank rankOrZero(Rank rank) { return rank == kNoRank ? 0 : rank; }

// The working lists of the fast merge, kept per thread so short pieces do not allocate.
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
  if (platform::isValidUtf8(text)) return text;
  storage = platform::sanitizeUtf8(text);
  return storage;
}

template <void (*Merge)(std::string_view, const Ranks&, std::vector<Rank>&)>
void appendPiece(std::string_view piece, const Ranks& ranks, std::vector<Rank>& out) {
  if (piece.empty()) return;
  // A whole vocabulary entry is one token, even where merging pairs would end elsewhere.
  const Rank whole = ranks.find(piece);
  if (whole != kNoRank) {
    out.push_back(whole);
    return;
  }
  if (piece.size() == 1) {
    out.push_back(0);
    return;
  }
  Merge(piece, ranks, out);
}

}  // namespace

void bytePairEncode(std::string_view piece, const Ranks& ranks, std::vector<Rank>& out) {
  struct Part {
    std::size_t start;
    Rank rank;
  };
  std::vector<Part> parts;
  parts.reserve(piece.size() + 1);
  for (std::size_t i = 0; i <= piece.size(); ++i) parts.push_back({i, kNoRank});

  auto windowRank = [&](std::size_t i, std::size_t skip) {
    if (i + skip + 2 >= parts.size()) return kNoRank;
    return ranks.find(piece.substr(parts[i].start, parts[i + skip + 2].start - parts[i].start));
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
    out.push_back(rankOrZero(ranks.find(piece.substr(start, parts[k].start - start))));
  }
}

void bytePairEncodeFast(std::string_view piece, const Ranks& ranks, std::vector<Rank>& out) {
  const auto size = static_cast<std::uint32_t>(piece.size());
  MergeScratch& scratch = mergeScratch();
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
  m_regex->forEachPiece(text, [&](std::string_view piece) {
    appendPiece<bytePairEncodeFast>(piece, *m_encoder, out);
  });
  return out;
}

std::vector<Rank> BytePairEncoder::encodeOrdinaryReference(std::string_view text) const {
  std::string storage;
  text = validText(text, storage);
  std::vector<Rank> out;
  splitReference(*m_regex, text, [&](std::string_view piece) {
    appendPiece<bytePairEncode>(piece, *m_encoder, out);
  });
  return out;
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
