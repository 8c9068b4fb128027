#include "Tessra/storage/storage_test_support.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "testing/temp_dir.h"

namespace tessra::storage_test {

namespace {

// Made during static initialisation, before any test asks for the storage folder.
struct ProcessHome {
  ProcessHome() {
    // The program's own variables win over XDG's, so both are set: a store test that empties
    // its folder must never reach one the environment pointed elsewhere.
    ::setenv("XDG_DATA_HOME", (home.path() / "data").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (home.path() / "config").c_str(), 1);
    ::setenv("XDG_CACHE_HOME", (home.path() / "cache").c_str(), 1);
    ::setenv("TESSRA_DATA_DIR", (home.path() / "data" / "TessraAI").c_str(), 1);
    ::setenv("TESSRA_CONFIG_DIR", (home.path() / "config" / "TessraAI").c_str(), 1);
    ::setenv("TESSRA_CACHE_DIR", (home.path() / "cache" / "TessraAI").c_str(), 1);
  }
  testing::TempDir home;
};

ProcessHome& processHomeState() {
  static ProcessHome state;
  return state;
}

[[maybe_unused]] const bool kHomeReady = (processHomeState(), true);

}  // namespace

const std::filesystem::path& processHome() { return processHomeState().home.path(); }

std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return "";
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void writeFile(const std::filesystem::path& path, const std::string& content) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
}

bool waitUntil(const std::function<bool()>& condition, const std::function<void()>& pump,
               std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    pump();
  }
  return true;
}

}  // namespace tessra::storage_test
