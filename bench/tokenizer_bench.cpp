// Encoding throughput of the token counter: the reference path (ICU expressions, the rescanning
// merge) against the fast path (hand-written scanners, heap merge), on text Debian installs:
// English prose (licence texts and manual pages), C++ headers, Japanese and Chinese manual pages,
// and one 100 KB piece. Bytes per second are the text's UTF-8 bytes.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/bars.h"
#include "platform/foundation/utf8.h"
#include "tokenizer/builtin_vocabulary.h"
#include "tokenizer/byte_pair_encoder.h"
#include "tokenizer/vocabulary_loader.h"

namespace {

namespace fs = std::filesystem;
using namespace tessra::tokenizer;

constexpr std::size_t kCorpusBytes = 2u << 20;

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// A manual page's source, unpacked by the system's gzip.
std::string readGzip(const fs::path& path) {
  const std::string command = "gzip -dc '" + path.string() + "' 2>/dev/null";
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  if (!pipe) return {};
  std::string text;
  char buffer[65536];
  while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe.get())) text.append(buffer, n);
  return text;
}

// Files of the folders, in name order, until the corpus has `limit` bytes of valid UTF-8.
std::string corpus(const std::vector<fs::path>& folders, const std::string& extension,
                   std::size_t limit) {
  std::vector<fs::path> files;
  for (const fs::path& folder : folders) {
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(folder, error);
         it != fs::recursive_directory_iterator(); it.increment(error)) {
      if (it->is_regular_file(error) && it->path().string().ends_with(extension))
        files.push_back(it->path());
    }
  }
  std::sort(files.begin(), files.end());
  std::string text;
  for (const fs::path& file : files) {
    std::string content = extension == ".gz" ? readGzip(file) : readFile(file);
    if (!tessra::platform::isValidUtf8(content)) continue;
    text += content;
    if (text.size() >= limit) break;
  }
  if (text.empty()) throw std::runtime_error("No corpus files under " + folders.front().string());
  return text;
}

const std::shared_ptr<const Ranks>& cl100kRanks() {
  static const auto ranks = builtinRanks("cl100k_base");
  return ranks;
}

const BytePairEncoder& encoder() {
  static const BytePairEncoder encoder(
      cl100kRanks(), std::make_shared<const SplitPattern>(std::string(kPatternB)));
  return encoder;
}

const std::string& prose() {
  static const std::string text = corpus({"/usr/share/common-licenses"}, "", kCorpusBytes / 2) +
                                  corpus({"/usr/share/man/man1"}, ".gz", kCorpusBytes / 2);
  return text;
}
const std::string& headers() {
  static const std::string text = corpus({"/usr/include/c++"}, ".h", kCorpusBytes);
  return text;
}
const std::string& asian() {
  static const std::string text = corpus(
      {"/usr/share/man/ja", "/usr/share/man/zh_CN", "/usr/share/man/zh_TW"}, ".gz", kCorpusBytes);
  return text;
}
// One piece of 100 KB: a run of letters, merged as a whole.
const std::string& singlePiece() {
  static const std::string text = [] {
    std::mt19937 random(1);
    std::string piece;
    while (piece.size() < 100'000) piece += static_cast<char>('a' + random() % 26);
    return piece;
  }();
  return text;
}

void encode(benchmark::State& state, const std::string& (*corpus)(), const std::string& name,
            bool fast) {
  const std::string& text = corpus();
  std::size_t tokens = 0;
  const tessra::bench::IterationTimer timer(state, name + (fast ? "/fast" : "/reference"));
  for (auto _ : state) {
    auto ids = fast ? encoder().encodeOrdinary(text) : encoder().encodeOrdinaryReference(text);
    tokens = ids.size();
    benchmark::DoNotOptimize(ids.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
  state.counters["tokens"] = static_cast<double>(tokens);
  state.counters["bytes"] = static_cast<double>(text.size());
}

BENCHMARK_CAPTURE(encode, prose_reference, prose, "prose", false)
    ->Name("prose/reference")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(encode, prose_fast, prose, "prose", true)
    ->Name("prose/fast")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(encode, headers_reference, headers, "cpp_headers", false)
    ->Name("cpp_headers/reference")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(encode, headers_fast, headers, "cpp_headers", true)
    ->Name("cpp_headers/fast")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(encode, asian_reference, asian, "ja_zh_manpages", false)
    ->Name("ja_zh_manpages/reference")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(encode, asian_fast, asian, "ja_zh_manpages", true)
    ->Name("ja_zh_manpages/fast")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(encode, piece_reference, singlePiece, "single_piece_100k", false)
    ->Name("single_piece_100k/reference")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK_CAPTURE(encode, piece_fast, singlePiece, "single_piece_100k", true)
    ->Name("single_piece_100k/fast")
    ->Unit(benchmark::kMillisecond);

tessra::bench::Bar fastAgainstReference(const std::string& corpus) {
  return {.what = "fast path on " + corpus,
          .figure = corpus + "/fast",
          .baseline = corpus + "/reference",
          .limit = 1,
          .unit = "ms",
          .on = "CPU time of the process, mean of the iterations"};
}

const tessra::bench::Bars kBars{fastAgainstReference("prose"), fastAgainstReference("cpp_headers"),
                                fastAgainstReference("ja_zh_manpages"),
                                fastAgainstReference("single_piece_100k")};

}  // namespace
