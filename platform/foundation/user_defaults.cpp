#include "platform/foundation/user_defaults.h"

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <expected>
#include <limits>
#include <map>
#include <system_error>
#include <utility>

#include "platform/foundation/atomic_file.h"
#include "platform/foundation/json.h"
#include "platform/foundation/locations.h"
#include "platform/foundation/logger.h"
#include "platform/foundation/regular_file.h"

namespace tessra::platform {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kStandardFile = "defaults.json";
constexpr std::size_t kMaxFileNameBytes = 255;

std::string errnoText(int error) { return std::generic_category().message(error); }

std::string utcTimestamp() {
  const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  std::tm parts{};
  gmtime_r(&now, &parts);
  char text[32];
  std::strftime(text, sizeof text, "%Y%m%dT%H%M%SZ", &parts);
  return text;
}

// Moves a file that cannot be read out of the way, to a name no earlier copy holds. Returns the
// new path, or the reason it could not be moved.
std::expected<fs::path, std::string> moveAside(const fs::path& file) {
  const std::string stem = file.string() + ".unreadable-" + utcTimestamp();
  for (int attempt = 1; attempt < 100; ++attempt) {
    fs::path target = attempt == 1 ? stem : stem + "-" + std::to_string(attempt);
    std::error_code error;
    if (fs::exists(fs::symlink_status(target, error))) continue;
    if (std::rename(file.c_str(), target.c_str()) != 0) return std::unexpected(errnoText(errno));
    return target;
  }
  return std::unexpected("every name to move it to is taken");
}

// The whole file, or the reason it cannot be read.
std::expected<std::string, std::string> readFile(const fs::path& file) {
  try {
    return readRegularFile(file);
  } catch (const std::system_error& failure) {
    return std::unexpected(failure.code().message());
  }
}

// Writes the whole file atomically; returns the reason on failure.
std::optional<std::string> writeAtomically(const fs::path& file, std::string_view text) {
  try {
    writeFileAtomically(file, text, {.createFolders = true});
    return std::nullopt;
  } catch (const std::system_error& e) {
    return e.what();
  }
}

bool isPlainFileName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
         name.find('\0') == std::string::npos &&
         name.size() + std::string_view(".json").size() <= kMaxFileNameBytes;
}

// One instance per file, so that two users of a suite never overwrite each other's changes.
std::shared_ptr<UserDefaults> sharedInstance(const fs::path& file) {
  static std::mutex mutex;
  static std::map<fs::path, std::shared_ptr<UserDefaults>> instances;
  std::lock_guard lock(mutex);
  auto& instance = instances[file];
  if (!instance) instance = std::make_shared<UserDefaults>(file);
  return instance;
}

}  // namespace

UserDefaultsWriteError::UserDefaultsWriteError(const fs::path& path, const std::string& reason)
    : Error("Could not save the settings file " + path.string() + ".", reason) {}

UserDefaults& UserDefaults::standard() {
  static const std::shared_ptr<UserDefaults> instance =
      sharedInstance(configDirectory() / kStandardFile);
  return *instance;
}

std::shared_ptr<UserDefaults> UserDefaults::suite(const std::string& name) {
  if (!isPlainFileName(name)) return nullptr;
  return sharedInstance(configDirectory() / (name + ".json"));
}

fs::path UserDefaults::configDirectory() { return platform::configDirectory(); }

UserDefaults::UserDefaults(fs::path file) : m_path(std::move(file)) {}

void UserDefaults::loadIfNeeded() const {
  if (m_loaded) return;
  m_loaded = true;
  // Saves cut short by a killed process leave temporary files beside the settings.
  removeStaleTemporaryFiles(m_path.parent_path());

  std::error_code error;
  const bool exists = fs::exists(fs::symlink_status(m_path, error));
  if (!exists) return;

  std::string reason;
  if (const auto text = readFile(m_path)) {
    try {
      nlohmann::json values = parseJson(*text);
      if (values.is_object()) {
        m_values = std::move(values);
        return;
      }
      reason = "it holds " + describeJsonValue(values) + ", not an object";
    } catch (const JsonDecodingError& decoding) {
      reason = decoding.what();
    }
  } else {
    reason = text.error();
  }

  const auto aside = moveAside(m_path);
  if (aside) {
    logError("The settings file {} could not be read ({}); it was moved to {}", m_path.string(),
             reason, aside->string());
    return;
  }
  m_writable = false;
  logError(
      "The settings file {} could not be read ({}) nor moved aside ({}); changes are kept in "
      "memory only",
      m_path.string(), reason, aside.error());
}

Result<void> UserDefaults::save() {
  const auto failed = [&](const std::string& reason) -> Result<void> {
    logError("Could not save the settings file {}: {}", m_path.string(), reason);
    return std::unexpected(std::make_exception_ptr(UserDefaultsWriteError(m_path, reason)));
  };
  if (!m_writable) return failed("the unreadable file there was not moved aside");
  std::string text;
  try {
    text = encodeJson(m_values);
  } catch (const JsonEncodingError& encoding) {
    return failed(encoding.what());
  }
  if (auto reason = writeAtomically(m_path, text)) return failed(*reason);
  return {};
}

std::optional<nlohmann::json> UserDefaults::object(std::string_view key) const {
  std::lock_guard lock(m_mutex);
  loadIfNeeded();
  const auto found = m_values.find(key);
  if (found == m_values.end()) return std::nullopt;
  return *found;
}

std::optional<std::string> UserDefaults::string(std::string_view key) const {
  const auto value = object(key);
  if (!value || !value->is_string()) return std::nullopt;
  return value->get<std::string>();
}

std::optional<std::int64_t> UserDefaults::integer(std::string_view key) const {
  const auto value = object(key);
  if (!value) return std::nullopt;
  if (value->is_number_unsigned()) {
    const auto v = value->get<std::uint64_t>();
    if (v > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
      return std::nullopt;
    }
    return static_cast<std::int64_t>(v);
  }
  if (value->is_number_integer()) return value->get<std::int64_t>();
  if (value->is_number_float()) {
    const double v = value->get<double>();
    // 2^63 itself is out of range; it is the first double above the largest int64.
    if (std::isfinite(v) && std::trunc(v) == v && v >= -9223372036854775808.0 &&
        v < 9223372036854775808.0) {
      return static_cast<std::int64_t>(v);
    }
  }
  return std::nullopt;
}

std::optional<bool> UserDefaults::boolean(std::string_view key) const {
  const auto value = object(key);
  if (!value || !value->is_boolean()) return std::nullopt;
  return value->get<bool>();
}

std::optional<double> UserDefaults::real(std::string_view key) const {
  const auto value = object(key);
  if (!value || !value->is_number()) return std::nullopt;
  return value->get<double>();
}

std::optional<nlohmann::json> UserDefaults::dictionary(std::string_view key) const {
  auto value = object(key);
  if (!value || !value->is_object()) return std::nullopt;
  return value;
}

std::optional<nlohmann::json> UserDefaults::array(std::string_view key) const {
  auto value = object(key);
  if (!value || !value->is_array()) return std::nullopt;
  return value;
}

Result<void> UserDefaults::set(std::string_view key, nlohmann::json value) {
  if (value.is_null()) return removeObject(key);
  try {
    // Checked before anything changes: a value the file cannot hold would fail every later
    // write of the suite.
    (void)encodeJson(value);
  } catch (const JsonEncodingError& encoding) {
    logError("Refused a setting for the file {}: {}", m_path.string(), encoding.what());
    return std::unexpected(std::current_exception());
  }
  std::lock_guard lock(m_mutex);
  loadIfNeeded();
  m_values[std::string(key)] = std::move(value);
  return save();
}

Result<void> UserDefaults::removeObject(std::string_view key) {
  std::lock_guard lock(m_mutex);
  loadIfNeeded();
  if (const auto found = m_values.find(key); found != m_values.end()) m_values.erase(found);
  return save();
}

}  // namespace tessra::platform
