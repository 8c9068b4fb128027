#include "platform/foundation/json.h"

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

void writeString(std::string& out, std::string_view raw, const JsonEncodingOptions& options) {
  const std::string text = sanitizeUtf8(raw);
  out.push_back('"');
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '/':
        out += options.escapeSlashes ? "\\/" : "/";
        break;
      case '\b':
        out += "\\b";
        break;
      case '\f':
        out += "\\f";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20) {
          static constexpr char kHex[] = "0123456789abcdef";
          out += "\\u00";
          out.push_back(kHex[c >> 4]);
          out.push_back(kHex[c & 0xF]);
        } else {
          out.push_back(ch);
        }
    }
  }
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

template <class Json>
void write(std::string& out, const Json& value, const JsonEncodingOptions& options) {
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
      out.push_back('[');
      bool first = true;
      for (const auto& item : value) {
        if (!first) out.push_back(',');
        first = false;
        write(out, item, options);
      }
      out.push_back(']');
      return;
    }
    case Type::object: {
      out.push_back('{');
      bool first = true;
      for (const auto& [key, item] : value.items()) {
        if (!first) out.push_back(',');
        first = false;
        writeString(out, key, options);
        out.push_back(':');
        write(out, item, options);
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
  write(out, value, options);
  return out;
}

std::string encodeJson(const nlohmann::ordered_json& value, JsonEncodingOptions options) {
  std::string out;
  write(out, value, options);
  return out;
}

nlohmann::json parseJson(std::string_view text) {
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
