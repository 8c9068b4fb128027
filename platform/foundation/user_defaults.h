// Small settings kept between runs: one JSON object per suite, in a file of the configuration
// folder (`defaults.json` for the standard suite, `<suite>.json` for a named one).
//
//   auto& defaults = UserDefaults::standard();
//   defaults.set("popupWindowPosition", 2);
//   const std::int64_t position = defaults.integer("popupWindowPosition").value_or(0);
//
// The folder is $TESSRA_CONFIG_DIR when set, else ${XDG_CONFIG_HOME:-~/.config}/TessraAI; it is
// looked up when a suite is first opened. The file is read on first use. A file that cannot be
// read (anything but a regular file among them, never waited on) or holds no JSON object is
// moved aside as `<file>.unreadable-<UTC timestamp>` with a log line, and the suite starts empty;
// it is never overwritten.
//
// Reading: a typed getter gives nothing for an absent key and for a value of another type. A
// JSON integer also reads as a `real`, and a whole floating-point number as an `integer` (the
// file writes 3.0 as 3); a boolean is neither.
//
// Writing: every change rewrites the whole file atomically (a temporary file in the same folder,
// mode 0600, flushed to disk, renamed over the old one). A change takes effect in memory even
// when the file cannot be written; the failure is logged with the path (never the values) and
// returned as a `UserDefaultsWriteError`, and the next successful write carries it.
//
// Thread-safe: one mutex per suite guards its values and its file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/error.h"

namespace tessra::platform {

// A change could not be written to the suite's file.
class UserDefaultsWriteError : public Error {
 public:
  UserDefaultsWriteError(const std::filesystem::path& path, const std::string& reason);
};

class UserDefaults {
 public:
  // The program's own suite, `defaults.json`.
  static UserDefaults& standard();
  // The suite of that name, one shared instance per name; null when the name cannot be a file
  // name (empty, ".", "..", containing "/" or a NUL, or too long).
  static std::shared_ptr<UserDefaults> suite(const std::string& name);
  // The folder the suites live in, from the environment as described above.
  static std::filesystem::path configDirectory();

  // A suite stored in the given file; for tests. Two instances on one file overwrite each other.
  explicit UserDefaults(std::filesystem::path file);
  UserDefaults(const UserDefaults&) = delete;
  UserDefaults& operator=(const UserDefaults&) = delete;

  const std::filesystem::path& path() const { return m_path; }

  std::optional<nlohmann::json> object(std::string_view key) const;
  std::optional<std::string> string(std::string_view key) const;
  std::optional<std::int64_t> integer(std::string_view key) const;
  std::optional<bool> boolean(std::string_view key) const;
  std::optional<double> real(std::string_view key) const;
  std::optional<nlohmann::json> dictionary(std::string_view key) const;
  std::optional<nlohmann::json> array(std::string_view key) const;

  // Stores the value (null removes the key). A value that cannot be written as JSON (a number
  // that is not finite) is refused with a JsonEncodingError and changes nothing.
  [[nodiscard]] Result<void> set(std::string_view key, nlohmann::json value);
  [[nodiscard]] Result<void> removeObject(std::string_view key);

 private:
  // Both run with m_mutex held.
  void loadIfNeeded() const;
  [[nodiscard]] Result<void> save();

  const std::filesystem::path m_path;
  mutable std::mutex m_mutex;  // guards everything below and the file
  mutable bool m_loaded = false;
  mutable nlohmann::json m_values = nlohmann::json::object();
  // False when an unreadable file could not be moved aside: it must not be overwritten.
  mutable bool m_writable = true;
};

}  // namespace tessra::platform
