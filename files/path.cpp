#include "files/path.h"

#include <pwd.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <utility>

#include "files/directory_enumerator.h"
#include "files/well_known_folders.h"
#include "platform/foundation/logger.h"
#include "platform/foundation/percent_encoding.h"

namespace tessra::files {

namespace {

[[noreturn]] void fatal(const char* message) {
  platform::logFault("Fatal error: {}", message);
  std::abort();
}

// Splits on "/" dropping empty pieces; an absolute text starts with the element "/".
std::vector<std::string> pathComponents(std::string_view text) {
  std::vector<std::string> parts;
  if (text.starts_with('/')) parts.emplace_back("/");
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t end = std::min(text.find('/', start), text.size());
    if (end > start) parts.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

std::string lastPathComponent(std::string_view text) {
  while (text.size() > 1 && text.ends_with('/')) text.remove_suffix(1);
  if (text == "/") return "/";
  const std::size_t slash = text.rfind('/');
  return std::string(slash == std::string_view::npos ? text : text.substr(slash + 1));
}

// Where the extension's dot stands in a last component; a leading or trailing dot starts none.
std::optional<std::size_t> extensionDot(std::string_view name) {
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot == 0 || dot + 1 == name.size()) return std::nullopt;
  return dot;
}

std::string deletingPathExtension(std::string_view text) {
  std::string_view trimmed = text;
  while (trimmed.size() > 1 && trimmed.ends_with('/')) trimmed.remove_suffix(1);
  const std::size_t slash = trimmed.rfind('/');
  const std::size_t nameStart = slash == std::string_view::npos ? 0 : slash + 1;
  const auto dot = extensionDot(trimmed.substr(nameStart));
  if (!dot) return std::string(trimmed);
  return std::string(trimmed.substr(0, nameStart + *dot));
}

std::string deletingLastPathComponent(std::string_view text) {
  while (text.size() > 1 && text.ends_with('/')) text.remove_suffix(1);
  if (text == "/") return "/";
  const std::size_t slash = text.rfind('/');
  if (slash == std::string_view::npos) return "";
  if (slash == 0) return "/";
  return std::string(text.substr(0, slash));
}

std::string expandTilde(std::string_view text) {
  if (!text.starts_with('~')) return std::string(text);
  const std::size_t slash = text.find('/');
  const std::string_view user = text.substr(1, slash == std::string_view::npos ? slash : slash - 1);
  const std::string_view rest = slash == std::string_view::npos ? "" : text.substr(slash);
  std::string home;
  if (user.empty()) {
    home = homeFolderText();
  } else {
    passwd entry{};
    passwd* result = nullptr;
    std::array<char, 4096> buffer{};
    const std::string name(user);
    if (getpwnam_r(name.c_str(), &entry, buffer.data(), buffer.size(), &result) != 0 || !result)
      return std::string(text);
    home = result->pw_dir;
  }
  if (home.ends_with('/') && rest.starts_with('/')) home.pop_back();
  return home + std::string(rest);
}

std::string standardizeText(std::string_view raw) {
  const std::string text = expandTilde(raw);
  if (text.empty()) return text;
  std::vector<std::string> kept;
  const bool absolute = text.starts_with('/');
  for (const auto& part : pathComponents(text)) {
    if (part == "/" || part == ".") continue;
    // ".." is resolved lexically only where it cannot climb above the start: in absolute paths.
    if (absolute && part == "..") {
      if (!kept.empty()) kept.pop_back();
      continue;
    }
    kept.push_back(part);
  }
  std::string out = absolute ? "/" : "";
  for (std::size_t i = 0; i < kept.size(); ++i) {
    if (i > 0) out += '/';
    out += kept[i];
  }
  if (out.empty()) return ".";
  // A relative result that now begins with "~" keeps a leading "./": only text the caller wrote
  // with a "~" in front names a home folder, and standardising again must not expand it.
  if (out.starts_with('~') && !text.starts_with('~')) out.insert(0, "./");
  return out;
}

bool isCurrentText(const std::string& text) { return text.empty() || text == "."; }

std::vector<std::string> foldedRelativeComponents(std::string_view text) {
  std::vector<std::string> parts;
  for (auto& part : pathComponents(text)) {
    if (part == "." || part == "/") continue;
    parts.push_back(std::move(part));
  }
  for (;;) {
    std::vector<std::string> next;
    for (std::size_t i = 0; i < parts.size(); ++i) {
      const bool isUp = parts[i] == "..";
      if (!isUp && i + 1 < parts.size() && parts[i + 1] == "..") continue;
      if (isUp && i >= 1 && parts[i - 1] != "..") continue;
      next.push_back(parts[i]);
    }
    if (next.size() == parts.size()) return parts;
    parts = std::move(next);
  }
}

Path joinAll(const std::vector<Path>& parts, std::size_t from, std::size_t to) {
  Path joined = parts[from];
  for (std::size_t k = from + 1; k < to; ++k) joined = joined + parts[k];
  return joined;
}

std::size_t leadingParentCount(const std::vector<Path>& parts) {
  std::size_t count = 0;
  while (count < parts.size() && parts[count].rawValue() == "..") ++count;
  return count;
}

}  // namespace

std::string_view rawValue(RelativePathType type) {
  switch (type) {
    case RelativePathType::normal:
      return "normal";
    case RelativePathType::current:
      return "current";
    case RelativePathType::ancestor:
      return "ancestor";
    case RelativePathType::parent:
      return "parent";
    case RelativePathType::absolute:
      return "absolute";
  }
  return "normal";
}

std::optional<RelativePathType> relativePathTypeFromRawValue(std::string_view text) {
  for (const auto type :
       {RelativePathType::normal, RelativePathType::current, RelativePathType::ancestor,
        RelativePathType::parent, RelativePathType::absolute}) {
    if (rawValue(type) == text) return type;
  }
  return std::nullopt;
}

Path::Path(std::string_view text, bool expandingTilde)
    : m_rawValue(expandingTilde ? expandTilde(text) : std::string(text)) {}

Path Path::concatenating(std::span<const Path> paths) {
  std::string text;
  for (const auto& path : paths) text += path.rawValue();
  return Path(std::move(text));
}

std::optional<Path> Path::fromFileUrl(std::string_view url) {
  if (!url.starts_with("file://")) return std::nullopt;
  std::string_view rest = url.substr(7);
  if (rest.starts_with("localhost/")) rest.remove_prefix(9);
  if (!rest.starts_with('/')) return std::nullopt;
  const std::size_t end = rest.find_first_of("?#");
  auto decoded = platform::percentDecode(rest.substr(0, end));
  if (!decoded) return std::nullopt;
  return Path(std::move(*decoded));
}

std::string Path::systemText() const {
  if (m_rawValue.empty()) return ".";
  if (m_rawValue.find('\0') != std::string::npos) return "";
  return m_rawValue;
}

const Path& Path::root() {
  static const Path kRoot("/");
  return kRoot;
}

Path operator+(const Path& lhs, const Path& rhs) {
  if (isCurrentText(lhs.m_rawValue)) return rhs;
  if (isCurrentText(rhs.m_rawValue)) return lhs;
  const bool leftSlash = lhs.m_rawValue.ends_with('/');
  const bool rightSlash = rhs.m_rawValue.starts_with('/');
  if (!leftSlash && !rightSlash) return Path(lhs.m_rawValue + "/" + rhs.m_rawValue);
  if (leftSlash && rightSlash) return Path(lhs.m_rawValue + rhs.m_rawValue.substr(1));
  return Path(lhs.m_rawValue + rhs.m_rawValue);
}

std::vector<Path> Path::components() const {
  if (isCurrentText(m_rawValue)) return {};
  std::vector<std::string> texts;
  if (isAbsolute()) {
    for (auto& part : pathComponents(absolute().rawValue())) {
      if (part == "." || (part == "/" && !texts.empty())) continue;
      texts.push_back(std::move(part));
    }
  } else {
    texts = foldedRelativeComponents(m_rawValue);
  }
  std::vector<Path> parts;
  parts.reserve(texts.size());
  for (auto& text : texts) parts.emplace_back(std::move(text));
  return parts;
}

Path Path::operator[](std::size_t i) const {
  const auto parts = components();
  if (i >= parts.size()) fatal("Path index out of range");
  return joinAll(parts, 0, i + 1);
}

Path Path::slice(std::size_t a, std::size_t b) const {
  const auto parts = components();
  if (a >= b || b > parts.size()) fatal("Path bounds out of range");
  return joinAll(parts, a, b);
}

Path Path::rebuilt() const {
  const auto parts = components();
  if (parts.empty()) return Path();
  return joinAll(parts, 0, parts.size());
}

Path Path::parent() const {
  if (isAbsolute()) return Path(deletingLastPathComponent(absolute().rawValue()));
  const auto parts = components();
  if (parts.empty()) return Path("..");
  if (parts.back().rawValue() == "..") return Path("..") + joinAll(parts, 0, parts.size());
  if (parts.size() == 1) return Path();
  return joinAll(parts, 0, parts.size() - 1);
}

std::string Path::fileName() const {
  const auto parts = absolute().components();
  if (parts.empty()) return "";
  return parts.back().rawValue();
}

std::string Path::fileNameWithoutExtension() const {
  return deletingPathExtension(lastPathComponent(m_rawValue));
}

std::string Path::pathExtension() const {
  const std::string name = lastPathComponent(m_rawValue);
  const auto dot = extensionDot(name);
  if (!dot) return "";
  return name.substr(*dot + 1);
}

void Path::setPathExtension(std::string_view extension) {
  m_rawValue = deletingPathExtension(m_rawValue) + "." + std::string(extension);
}

Path Path::standardized() const { return Path(standardizeText(m_rawValue)); }

Path Path::resolved() const {
  const Path standard = standardized();
  if (!standard.isAbsolute()) return standard;
  std::error_code error;
  const auto canonical = std::filesystem::weakly_canonical(standard.rawValue(), error);
  if (error) return standard;
  return Path(canonical.string()).standardized();
}

Path Path::absolute() const {
  if (isAbsolute()) return standardized();
  return (current() + *this).standardized();
}

RelativePathType Path::relativePathType() const {
  if (isAbsolute()) return RelativePathType::absolute;
  const auto parts = components();
  if (parts.empty()) return RelativePathType::current;
  if (parts.front().rawValue() == "..")
    return parts.size() >= 2 ? RelativePathType::ancestor : RelativePathType::parent;
  return RelativePathType::normal;
}

Path Path::commonAncestor(const Path& other) const {
  if (isAbsolute() != other.isAbsolute()) return absolute().commonAncestor(other.absolute());
  const auto mine = components();
  const auto theirs = other.components();
  std::size_t shared = 0;
  while (shared < mine.size() && shared < theirs.size() &&
         mine[shared].rawValue() == theirs[shared].rawValue())
    ++shared;
  Path candidate;
  for (std::size_t k = 0; k < shared; ++k) candidate = candidate + mine[k];

  using enum RelativePathType;
  const auto a = relativePathType();
  const auto b = other.relativePathType();
  const auto plain = [](RelativePathType t) { return t == normal || t == current; };
  if ((plain(a) && plain(b)) || (a == absolute && b == absolute)) return candidate;
  if ((a == parent && (plain(b) || b == parent)) || (plain(a) && b == parent)) return Path("..");
  const std::size_t upA = leadingParentCount(mine);
  const std::size_t upB = leadingParentCount(theirs);
  if (upA == upB) return candidate;
  Path ups;
  for (std::size_t k = 0; k < std::max(upA, upB); ++k) ups = ups + Path("..");
  return ups;
}

bool Path::isDescendant(const Path& of) const {
  if (isAbsolute() != of.isAbsolute()) return absolute().isDescendant(of.absolute());
  if (of.isRoot()) return true;
  if (*this == of) return false;
  return commonAncestor(of) == of;
}

bool Path::isAncestor(const Path& of, bool recursive) const {
  if (isAbsolute() != of.isAbsolute()) return absolute().isAncestor(of.absolute(), true);
  if (isRoot()) return true;
  if (!recursive) return of.parent() == *this;
  return of.isDescendant(*this);
}

bool operator==(const Path& lhs, const Path& rhs) {
  if (lhs.isAbsolute() || rhs.isAbsolute())
    return lhs.absolute().rawValue() == rhs.absolute().rawValue();
  return lhs.rebuilt().rawValue() == rhs.rebuilt().rawValue();
}

std::string Path::debugDescription() const {
  std::string text = "Path(\"";
  for (const char ch : m_rawValue) {
    switch (ch) {
      case '"':
        text += "\\\"";
        break;
      case '\\':
        text += "\\\\";
        break;
      case '\n':
        text += "\\n";
        break;
      case '\r':
        text += "\\r";
        break;
      case '\t':
        text += "\\t";
        break;
      default:
        text.push_back(ch);
    }
  }
  return text + "\")";
}

std::string Path::url() const {
  std::string text = absolute().rawValue();
  if (isDirectory() && !text.ends_with('/')) text += '/';
  return "file://" + platform::percentEncode(text, platform::kPathCharacters);
}

DirectoryEnumerator Path::enumerator() const { return DirectoryEnumerator(*this); }

Path Path::current() {
  std::error_code error;
  const auto cwd = std::filesystem::current_path(error);
  if (error) return Path();
  return Path(cwd.string());
}

void Path::setCurrent(const Path& path) {
  // A failure leaves the current directory as it was, which is all a caller could do about it.
  [[maybe_unused]] const int result = ::chdir(path.systemText().c_str());
}

bool Path::enterDirectory(const Path& path, std::string& previous) {
  previous = current().rawValue();
  return ::chdir(path.systemText().c_str()) == 0;
}

void Path::leaveDirectory(const std::string& previous) {
  [[maybe_unused]] const int result = ::chdir(previous.c_str());
}

}  // namespace tessra::files
