#include "platform/foundation/json.h"

#include <array>
#include <charconv>

#include "platform/foundation/utf8.h"

namespace tessra::platform {

namespace {

const char* kindName(JsonDecodingError::Kind kind) {
  switch (kind) {
    case JsonDecodingError::Kind::dataCorrupted:
      return "The data is not valid JSON";
    case JsonDecodingError::Kind::keyNotFound:
      return "Missing key";
    case JsonDecodingError::Kind::valueNotFound:
      return "Missing value";
    case JsonDecodingError::Kind::typeMismatch:
      return "Wrong type";
  }
  return "Decoding failed";
}

std::string message(JsonDecodingError::Kind kind, const std::string& path,
                    const std::string& detail) {
  std::string text = kindName(kind);
  if (!path.empty()) text += " at \"" + path + "\"";
  if (!detail.empty()) text += ": " + detail;
  return text;
}

// The escape sequence of an ASCII byte that cannot stand in a JSON string as it is.
void writeEscaped(std::string& out, unsigned char c) {
  switch (c) {
    case '"':
      out += "\\\"";
      return;
    case '\\':
      out += "\\\\";
      return;
    case '/':
      out += "\\/";
      return;
    case '\b':
      out += "\\b";
      return;
    case '\f':
      out += "\\f";
      return;
    case '\n':
      out += "\\n";
      return;
    case '\r':
      out += "\\r";
      return;
    case '\t':
      out += "\\t";
      return;
    default: {
      static constexpr char kHex[] = "0123456789abcdef";
      out += "\\u00";
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 0xF]);
    }
  }
}

// Which ASCII bytes stand in a JSON string as they are, with "/" escaped or not.
constexpr std::array<bool, 128> plainAscii(bool escapeSlashes) {
  std::array<bool, 128> plain{};
  for (int c = 0x20; c < 0x80; ++c)
    plain[static_cast<std::size_t>(c)] = c != '"' && c != '\\' && (c != '/' || !escapeSlashes);
  return plain;
}
constexpr std::array<bool, 128> kPlainEscapingSlashes = plainAscii(true);
constexpr std::array<bool, 128> kPlain = plainAscii(false);

// Bytes that stand as they are (well-formed UTF-8 that needs no escape) are copied a run at a
// time: a conversation holds answers and pasted texts of many megabytes.
void writeString(std::string& out, std::string_view raw, const JsonEncodingOptions& options) {
  const std::array<bool, 128>& plain = options.escapeSlashes ? kPlainEscapingSlashes : kPlain;
  const auto isPlainAscii = [&](std::size_t at) {
    const auto c = static_cast<unsigned char>(raw[at]);
    return c < 0x80 && plain[c];
  };
  out.push_back('"');
  std::size_t runStart = 0;
  std::size_t at = 0;
  while (true) {
    while (at < raw.size() && isPlainAscii(at)) ++at;
    if (at == raw.size()) break;
    const auto c = static_cast<unsigned char>(raw[at]);
    std::size_t illFormed = 0;
    // A well-formed character beyond ASCII stands as it is.
    if (const std::size_t length = c < 0x80 ? 0 : utf8SequenceAt(raw, at, illFormed); length > 0) {
      at += length;
      continue;
    }
    out.append(raw, runStart, at - runStart);
    if (c < 0x80) {
      writeEscaped(out, c);
      ++at;
    } else {
      out += "\xEF\xBF\xBD";
      at += illFormed;
    }
    runStart = at;
  }
  out.append(raw, runStart, at - runStart);
  out.push_back('"');
}

void writeDouble(std::string& out, double value) {
  if (!std::isfinite(value))
    throw JsonEncodingError("Unable to encode the non-finite number " + std::to_string(value) +
                            " as JSON");
  // Integral values within the exact range of a double are written without a fraction, so a
  // date of 0 seconds reads "0" and -978307200 stays an integer.
  if (std::trunc(value) == value && std::fabs(value) < 9007199254740992.0) {
    out += std::to_string(static_cast<long long>(value));
    return;
  }
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  out.append(buffer, result.ptr);
}

[[noreturn]] void throwTooDeepToEncode() {
  throw JsonEncodingError("Unable to encode a value nested more than " +
                          std::to_string(kMaxJsonNesting) + " levels deep as JSON");
}

// The parser itself keeps its own stack, but everything done with the value afterwards recurses,
// so the depth is measured on the text first. Brackets inside strings do not count; text that is
// not JSON at all is left to the parser to refuse.
void checkNesting(std::string_view text) {
  int depth = 0;
  bool inString = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (inString) {
      if (c == '\\') {
        ++i;
      } else if (c == '"') {
        inString = false;
      }
      continue;
    }
    if (c == '"') {
      inString = true;
    } else if (c == '[' || c == '{') {
      if (++depth > kMaxJsonNesting)
        throw JsonDecodingError(
            JsonDecodingError::Kind::dataCorrupted, "",
            "nested more than " + std::to_string(kMaxJsonNesting) + " levels deep");
    } else if (c == ']' || c == '}') {
      --depth;
    }
  }
}

// A little over the length of the value written, for a text that escapes a character in every
// line or so; a document of many megabytes is then written into one buffer rather than copied
// over and over as it grows.
template <class Json>
std::size_t expectedLength(const Json& value, int depth) {
  using Type = nlohmann::json::value_t;
  const auto text = [](const std::string& text) { return text.size() + text.size() / 16 + 2; };
  std::size_t length = 2;
  switch (value.type()) {
    case Type::string:
      return text(value.template get_ref<const std::string&>());
    case Type::array:
      if (depth == kMaxJsonNesting) return length;
      for (const auto& item : value) length += expectedLength(item, depth + 1) + 1;
      return length;
    case Type::object:
      if (depth == kMaxJsonNesting) return length;
      for (const auto& [key, item] : value.items())
        length += text(key) + expectedLength(item, depth + 1) + 2;
      return length;
    default:
      return 8;
  }
}

template <class Json>
void write(std::string& out, const Json& value, const JsonEncodingOptions& options, int depth) {
  using Type = nlohmann::json::value_t;
  switch (value.type()) {
    case Type::null:
    case Type::discarded:
      out += "null";
      return;
    case Type::boolean:
      out += value.template get<bool>() ? "true" : "false";
      return;
    case Type::number_integer:
      out += std::to_string(value.template get<std::int64_t>());
      return;
    case Type::number_unsigned:
      out += std::to_string(value.template get<std::uint64_t>());
      return;
    case Type::number_float:
      writeDouble(out, value.template get<double>());
      return;
    case Type::string:
      writeString(out, value.template get_ref<const std::string&>(), options);
      return;
    case Type::binary:
      throw JsonEncodingError("Unable to encode raw binary data as JSON");
    case Type::array: {
      if (depth == kMaxJsonNesting) throwTooDeepToEncode();
      out.push_back('[');
      bool first = true;
      for (const auto& item : value) {
        if (!first) out.push_back(',');
        first = false;
        write(out, item, options, depth + 1);
      }
      out.push_back(']');
      return;
    }
    case Type::object: {
      if (depth == kMaxJsonNesting) throwTooDeepToEncode();
      out.push_back('{');
      bool first = true;
      for (const auto& [key, item] : value.items()) {
        if (!first) out.push_back(',');
        first = false;
        writeString(out, key, options);
        out.push_back(':');
        write(out, item, options, depth + 1);
      }
      out.push_back('}');
      return;
    }
  }
}

}  // namespace

JsonDecodingError::JsonDecodingError(Kind kind, std::string codingPath, std::string detail)
    : Error(message(kind, codingPath, detail)),
      m_kind(kind),
      m_codingPath(std::move(codingPath)),
      m_detail(std::move(detail)) {}

JsonDecodingError JsonDecodingError::nested(std::string_view segment) const {
  std::string path(segment);
  if (!m_codingPath.empty()) {
    if (m_codingPath.front() != '[') path += '.';
    path += m_codingPath;
  }
  return JsonDecodingError(m_kind, std::move(path), m_detail);
}

std::string encodeJson(const nlohmann::json& value, JsonEncodingOptions options) {
  std::string out;
  out.reserve(expectedLength(value, 0));
  write(out, value, options, 0);
  return out;
}

std::string encodeJson(const nlohmann::ordered_json& value, JsonEncodingOptions options) {
  std::string out;
  out.reserve(expectedLength(value, 0));
  write(out, value, options, 0);
  return out;
}

nlohmann::json parseJson(std::string_view text) {
  checkNesting(text);
  try {
    return nlohmann::json::parse(text.begin(), text.end());
  } catch (const nlohmann::json::exception& e) {
    // Not only syntax errors: a number too large for a double is refused as out of range.
    throw JsonDecodingError(JsonDecodingError::Kind::dataCorrupted, "", e.what());
  }
}

std::string describeJsonValue(const nlohmann::json& value) {
  using Type = nlohmann::json::value_t;
  switch (value.type()) {
    case Type::number_integer:
    case Type::number_unsigned:
    case Type::number_float:
      return "number " + value.dump();
    case Type::string: {
      std::string text = value.get<std::string>();
      if (text.size() > 40) text = text.substr(0, 40) + "...";
      return "string " + nlohmann::json(sanitizeUtf8(text)).dump();
    }
    default:
      return value.type_name();
  }
}

namespace detail {

void throwTypeMismatch(const nlohmann::json& j, std::string_view expected) {
  throw JsonDecodingError(JsonDecodingError::Kind::typeMismatch, "",
                          "expected " + std::string(expected) + ", found " + describeJsonValue(j));
}

void throwValueNotFound(std::string_view expected) {
  throw JsonDecodingError(JsonDecodingError::Kind::valueNotFound, "",
                          "expected " + std::string(expected) + ", found null");
}

}  // namespace detail

void to_json(nlohmann::json& j, const Date& date) { j = date.timeIntervalSinceReferenceDate(); }

void from_json(const nlohmann::json& j, Date& date) { date = decodeValue<Date>(j); }

}  // namespace tessra::platform
