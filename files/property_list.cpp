#include "files/property_list.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <optional>

#include "platform/foundation/date.h"
#include "platform/foundation/json.h"
#include "platform/foundation/utf8.h"

namespace tessra::files {

namespace {

void writeEscaped(std::string& out, std::string_view raw) {
  const std::string text = platform::sanitizeUtf8(raw);
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    switch (ch) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      default:
        // XML has no form at all for U+0000, not even a reference: writing one would make a
        // file that no reader, ours included, reads back.
        if (c == 0)
          throw PropertyListEncodingError("A property list cannot hold the character U+0000");
        // For the other control characters a character reference keeps them through a round
        // trip of our own reader.
        if (c < 0x20 && ch != '\n' && ch != '\t' && ch != '\r') {
          char ref[8];
          std::snprintf(ref, sizeof ref, "&#x%X;", c);
          out += ref;
        } else {
          out.push_back(ch);
        }
    }
  }
}

std::string formatReal(double value) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value > 0 ? "+infinity" : "-infinity";
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

void writeValue(std::string& out, const nlohmann::json& value, int depth) {
  // Deeper values are refused by the reader; writing them would recurse without bound.
  if (depth > platform::kMaxJsonNesting)
    throw PropertyListEncodingError("A property list cannot be nested this deeply");
  const std::string indent(static_cast<std::size_t>(depth), '\t');
  out += indent;
  switch (value.type()) {
    case nlohmann::json::value_t::object:
      if (value.empty()) {
        out += "<dict/>\n";
        return;
      }
      out += "<dict>\n";
      for (const auto& [key, item] : value.items()) {
        out += indent + "\t<key>";
        writeEscaped(out, key);
        out += "</key>\n";
        writeValue(out, item, depth + 1);
      }
      out += indent + "</dict>\n";
      return;
    case nlohmann::json::value_t::array:
      if (value.empty()) {
        out += "<array/>\n";
        return;
      }
      out += "<array>\n";
      for (const auto& item : value) writeValue(out, item, depth + 1);
      out += indent + "</array>\n";
      return;
    case nlohmann::json::value_t::string:
      out += "<string>";
      writeEscaped(out, value.get_ref<const std::string&>());
      out += "</string>\n";
      return;
    case nlohmann::json::value_t::boolean:
      out += value.get<bool>() ? "<true/>\n" : "<false/>\n";
      return;
    case nlohmann::json::value_t::number_integer:
      out += "<integer>" + std::to_string(value.get<std::int64_t>()) + "</integer>\n";
      return;
    case nlohmann::json::value_t::number_unsigned:
      out += "<integer>" + std::to_string(value.get<std::uint64_t>()) + "</integer>\n";
      return;
    case nlohmann::json::value_t::number_float:
      out += "<real>" + formatReal(value.get<double>()) + "</real>\n";
      return;
    case nlohmann::json::value_t::null:
      throw PropertyListEncodingError("A property list cannot hold a null value");
    case nlohmann::json::value_t::binary:
    case nlohmann::json::value_t::discarded:
      throw PropertyListEncodingError("A property list cannot hold this value");
  }
}

// A small reader of the XML the property-list format uses: elements, character data, character
// and entity references, CDATA, comments, processing instructions and a document type. Attributes
// are skipped. Nothing else of XML occurs in property lists.
class Reader {
 public:
  explicit Reader(std::string_view text) : m_text(text) {}

  nlohmann::json document() {
    skipMisc();
    std::string name = openTag();
    nlohmann::json value;
    if (name == "plist") {
      if (m_selfClosing) fail("The property list is empty");
      skipMisc();
      value = element(openTag());
      skipMisc();
      closeTag("plist");
    } else {
      value = element(name);
    }
    skipMisc();
    if (m_at != m_text.size()) fail("Unexpected content after the property list");
    return value;
  }

 private:
  [[noreturn]] void fail(const std::string& what) const {
    std::size_t line = 1;
    for (std::size_t i = 0; i < m_at && i < m_text.size(); ++i) line += m_text[i] == '\n';
    throw PropertyListDecodingError(what + " (line " + std::to_string(line) + ")");
  }

  bool lookingAt(std::string_view s) const { return m_text.substr(m_at).starts_with(s); }

  void skipPast(std::string_view terminator) {
    const std::size_t end = m_text.find(terminator, m_at);
    if (end == std::string_view::npos) fail("Unterminated markup");
    m_at = end + terminator.size();
  }

  void skipSpace() {
    while (m_at < m_text.size() &&
           std::string_view(" \t\r\n").find(m_text[m_at]) != std::string_view::npos)
      ++m_at;
  }

  // White space, comments, processing instructions and the document type.
  void skipMisc() {
    for (;;) {
      skipSpace();
      if (lookingAt("<?")) {
        skipPast("?>");
      } else if (lookingAt("<!--")) {
        skipPast("-->");
      } else if (lookingAt("<!DOCTYPE")) {
        skipPast(">");
      } else {
        return;
      }
    }
  }

  std::string openTag() {
    if (!lookingAt("<") || lookingAt("</")) fail("Expected an element");
    ++m_at;
    const std::size_t start = m_at;
    while (m_at < m_text.size() &&
           std::string_view(" \t\r\n/>").find(m_text[m_at]) == std::string_view::npos)
      ++m_at;
    std::string name(m_text.substr(start, m_at - start));
    if (name.empty()) fail("Expected an element name");
    const std::size_t end = m_text.find('>', m_at);
    if (end == std::string_view::npos) fail("Unterminated element <" + name + ">");
    m_selfClosing = end > start && m_text[end - 1] == '/';
    m_at = end + 1;
    return name;
  }

  void closeTag(std::string_view name) {
    skipSpace();
    const std::string expected = "</" + std::string(name);
    if (!lookingAt(expected)) fail("Expected " + expected + ">");
    m_at += expected.size();
    skipSpace();
    if (!lookingAt(">")) fail("Expected " + expected + ">");
    ++m_at;
  }

  void appendCodePoint(std::string& out, unsigned long point) {
    if (point == 0 || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF))
      fail("Invalid character reference");
    platform::appendUtf8(out, static_cast<char32_t>(point));
  }

  // Character data up to the closing tag of `name`.
  std::string text(std::string_view name) {
    std::string out;
    for (;;) {
      if (m_at >= m_text.size()) fail("Unterminated <" + std::string(name) + ">");
      if (lookingAt("<![CDATA[")) {
        const std::size_t end = m_text.find("]]>", m_at);
        if (end == std::string_view::npos) fail("Unterminated CDATA section");
        out += m_text.substr(m_at + 9, end - m_at - 9);
        m_at = end + 3;
      } else if (lookingAt("<!--")) {
        skipPast("-->");
      } else if (lookingAt("<")) {
        closeTag(name);
        if (!platform::isValidUtf8(out)) fail("The text is not UTF-8");
        return out;
      } else if (m_text[m_at] == '&') {
        const std::size_t end = m_text.find(';', m_at);
        if (end == std::string_view::npos) fail("Unterminated reference");
        const std::string_view entity = m_text.substr(m_at + 1, end - m_at - 1);
        if (entity == "amp") {
          out += '&';
        } else if (entity == "lt") {
          out += '<';
        } else if (entity == "gt") {
          out += '>';
        } else if (entity == "quot") {
          out += '"';
        } else if (entity == "apos") {
          out += '\'';
        } else if (entity.starts_with('#')) {
          const bool hex = entity.size() > 1 && (entity[1] == 'x' || entity[1] == 'X');
          const std::string_view digits = entity.substr(hex ? 2 : 1);
          unsigned long point = 0;
          const auto result =
              std::from_chars(digits.data(), digits.data() + digits.size(), point, hex ? 16 : 10);
          if (digits.empty() || result.ec != std::errc() ||
              result.ptr != digits.data() + digits.size())
            fail("Invalid character reference");
          appendCodePoint(out, point);
        } else {
          fail("Unknown entity &" + std::string(entity) + ";");
        }
        m_at = end + 1;
      } else {
        out += m_text[m_at++];
      }
    }
  }

  std::string scalarText(const std::string& name) {
    if (m_selfClosing) return "";
    return text(name);
  }

  nlohmann::json element(const std::string& name) {
    if (name == "dict" || name == "array") {
      // Each level is a frame of this reader: a file of nothing but opening tags must fail, not
      // overflow the stack.
      if (m_depth == platform::kMaxJsonNesting) fail("The property list is nested too deeply");
      ++m_depth;
      nlohmann::json value = name == "dict" ? dictionary() : array();
      --m_depth;
      return value;
    }
    if (name == "true" || name == "false") {
      if (!m_selfClosing) closeTag(name);
      return name == "true";
    }
    static constexpr std::string_view kScalars[] = {"string", "integer", "real", "date", "data"};
    if (std::find(std::begin(kScalars), std::end(kScalars), name) == std::end(kScalars))
      fail("Unknown element <" + name + ">");
    std::string content = scalarText(name);
    if (name == "string") return content;
    if (name == "integer") return integer(content);
    if (name == "real") return real(content);
    if (name == "date") return date(content);
    return data(content);
  }

  nlohmann::json dictionary() {
    nlohmann::json object = nlohmann::json::object();
    if (m_selfClosing) return object;
    for (;;) {
      skipMisc();
      if (lookingAt("</")) {
        closeTag("dict");
        return object;
      }
      if (openTag() != "key") fail("Expected <key> in <dict>");
      std::string key = scalarText("key");
      skipMisc();
      if (lookingAt("</")) fail("The key \"" + key + "\" has no value");
      object[key] = element(openTag());
    }
  }

  nlohmann::json array() {
    nlohmann::json values = nlohmann::json::array();
    if (m_selfClosing) return values;
    for (;;) {
      skipMisc();
      if (lookingAt("</")) {
        closeTag("array");
        return values;
      }
      values.push_back(element(openTag()));
    }
  }

  nlohmann::json integer(std::string_view content) {
    content = trim(content);
    if (content.starts_with('+')) content.remove_prefix(1);
    if (content.starts_with('-')) {
      std::int64_t v = 0;
      if (!parseAll(content, v)) fail("Invalid integer \"" + std::string(content) + "\"");
      return v;
    }
    std::uint64_t v = 0;
    if (!parseAll(content, v)) fail("Invalid integer \"" + std::string(content) + "\"");
    return v;
  }

  nlohmann::json real(std::string_view content) {
    content = trim(content);
    if (content == "nan") return std::nan("");
    if (content == "+infinity" || content == "infinity" || content == "inf") return HUGE_VAL;
    if (content == "-infinity" || content == "-inf") return -HUGE_VAL;
    if (content.starts_with('+')) content.remove_prefix(1);
    double v = 0;
    const auto result = std::from_chars(content.data(), content.data() + content.size(), v);
    if (content.empty() || result.ec != std::errc() ||
        result.ptr != content.data() + content.size())
      fail("Invalid real \"" + std::string(content) + "\"");
    return v;
  }

  // 2001-01-01T00:00:00Z
  nlohmann::json date(std::string_view content) {
    content = trim(content);
    std::tm tm{};
    char zone = 0;
    const std::string copy(content);
    if (content.size() != 20 ||
        std::sscanf(copy.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c", &tm.tm_year, &tm.tm_mon, &tm.tm_mday,
                    &tm.tm_hour, &tm.tm_min, &tm.tm_sec, &zone) != 7 ||
        zone != 'Z')
      fail("Invalid date \"" + copy + "\"");
    tm.tm_year -= 1900;
    tm.tm_mon -= 1;
    const time_t unix = timegm(&tm);
    return platform::Date::fromUnixTime(static_cast<double>(unix)).timeIntervalSinceReferenceDate();
  }

  nlohmann::json data(std::string_view content) {
    std::string compact;
    for (const char ch : content) {
      if (std::string_view(" \t\r\n").find(ch) == std::string_view::npos) compact.push_back(ch);
    }
    if (!platform::base64Decode(compact)) fail("Invalid Base64 data");
    return compact;
  }

  static std::string_view trim(std::string_view s) {
    while (!s.empty() && std::string_view(" \t\r\n").find(s.front()) != std::string_view::npos)
      s.remove_prefix(1);
    while (!s.empty() && std::string_view(" \t\r\n").find(s.back()) != std::string_view::npos)
      s.remove_suffix(1);
    return s;
  }

  template <class N>
  static bool parseAll(std::string_view s, N& value) {
    const auto result = std::from_chars(s.data(), s.data() + s.size(), value);
    return !s.empty() && result.ec == std::errc() && result.ptr == s.data() + s.size();
  }

  std::string_view m_text;
  std::size_t m_at = 0;
  bool m_selfClosing = false;
  int m_depth = 0;
};

}  // namespace

std::string encodePropertyList(const nlohmann::json& value) {
  std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n";
  writeValue(out, value, 0);
  out += "</plist>\n";
  return out;
}

nlohmann::json parsePropertyList(std::string_view xml) { return Reader(xml).document(); }

const PropertyListEncoder& sharedPropertyListEncoder() {
  static const PropertyListEncoder kEncoder;
  return kEncoder;
}

const PropertyListDecoder& sharedPropertyListDecoder() {
  static const PropertyListDecoder kDecoder;
  return kDecoder;
}

}  // namespace tessra::files
