// A temporary folder for one test, removed with everything in it when the fixture ends.
#pragma once

#include <filesystem>
#include <string>

namespace tessra::testing {

class TempDir {
 public:
  // Made under $TMPDIR (or /tmp) unless `parent` is given.
  explicit TempDir(const std::filesystem::path& parent = {});
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return m_path; }
  std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

  // Writes a whole file, creating its folders; returns its path.
  std::filesystem::path write(const std::string& name, const std::string& content) const;
  // The whole content of a file under the folder ("" when missing).
  std::string read(const std::string& name) const;

 private:
  std::filesystem::path m_path;
};

// Whether any regular file below `folder` holds `text`: where a secret must never end up.
bool anyFileContains(const std::filesystem::path& folder, const std::string& text);

}  // namespace tessra::testing
