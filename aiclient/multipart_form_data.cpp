#include "aiclient/multipart_form_data.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

#include "platform/foundation/uuid.h"

namespace tessra::aiclient {

namespace {

constexpr std::string_view kLineBreak = "\r\n";

// Whole numbers of this size and more are written with an exponent, like the smallest ones.
constexpr double kLargestPlainMagnitude = 18014398509481984.0;  // 2^54

std::string formatDouble(double value) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
  if (value == 0) return std::signbit(value) ? "-0.0" : "0.0";

  // The shortest digits that read back as the same value, with their decimal exponent.
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value),
                                    std::chars_format::scientific);
  const std::string_view scientific(buffer, result.ptr);
  const auto exponentAt = scientific.find('e');
  std::string digits;
  for (const char ch : scientific.substr(0, exponentAt)) {
    if (ch != '.') digits.push_back(ch);
  }
  int exponent = 0;
  const auto exponentText = scientific.substr(exponentAt + 1);
  std::from_chars(exponentText.data() + (exponentText.front() == '+' ? 1 : 0),
                  exponentText.data() + exponentText.size(), exponent);

  std::string text = value < 0 ? "-" : "";
  if (exponent < -4 || std::fabs(value) > kLargestPlainMagnitude) {
    text += digits.front();
    if (digits.size() > 1) text += "." + digits.substr(1);
    const int magnitude = std::abs(exponent);
    text += exponent < 0 ? "e-" : "e+";
    if (magnitude < 10) text += '0';
    return text + std::to_string(magnitude);
  }
  if (exponent < 0) return text + "0." + std::string(-exponent - 1, '0') + digits;
  const auto integerDigits = static_cast<std::size_t>(exponent) + 1;
  if (digits.size() <= integerDigits) {
    return text + digits + std::string(integerDigits - digits.size(), '0') + ".0";
  }
  return text + digits.substr(0, integerDigits) + "." + digits.substr(integerDigits);
}

// A header value that cannot end its line or its quoted string early.
std::string escapeHeaderValue(std::string_view text, bool quoted) {
  std::string escaped;
  escaped.reserve(text.size());
  for (const char ch : text) {
    if (ch == '\r') {
      escaped += "%0D";
    } else if (ch == '\n') {
      escaped += "%0A";
    } else if (ch == '"' && quoted) {
      escaped += "%22";
    } else {
      escaped.push_back(ch);
    }
  }
  return escaped;
}

void append(Bytes& bytes, std::string_view text) {
  bytes.insert(bytes.end(), text.begin(), text.end());
}

}  // namespace

std::string MultipartFormDataValue::text() const {
  if (const auto* text = std::get_if<std::string>(&m_value)) return *text;
  if (const auto* number = std::get_if<std::int64_t>(&m_value)) return std::to_string(*number);
  return formatDouble(std::get<double>(m_value));
}

MultipartFormDataEntry MultipartFormDataEntry::file(std::string paramName,
                                                    std::optional<std::string> fileName,
                                                    std::optional<Bytes> fileData,
                                                    std::string contentType) {
  return File{.paramName = std::move(paramName),
              .fileName = std::move(fileName),
              .fileData = std::move(fileData),
              .contentType = std::move(contentType)};
}

MultipartFormDataEntry MultipartFormDataEntry::string(std::string paramName,
                                                      std::optional<MultipartFormDataValue> value) {
  return String{.paramName = std::move(paramName), .value = std::move(value)};
}

Bytes MultipartFormDataEntry::bytes(std::string_view boundary) const {
  Bytes bytes;
  if (const auto* file = std::get_if<File>(&value)) {
    if (!file->fileName || !file->fileData) return bytes;
    append(bytes, "--");
    append(bytes, boundary);
    append(bytes, kLineBreak);
    append(bytes, "Content-Disposition: form-data; name=\"");
    append(bytes, escapeHeaderValue(file->paramName, true));
    append(bytes, "\"; filename=\"");
    append(bytes, escapeHeaderValue(*file->fileName, true));
    append(bytes, "\"");
    append(bytes, kLineBreak);
    append(bytes, "Content-Type: ");
    append(bytes, escapeHeaderValue(file->contentType, false));
    append(bytes, kLineBreak);
    append(bytes, kLineBreak);
    bytes.insert(bytes.end(), file->fileData->begin(), file->fileData->end());
    append(bytes, kLineBreak);
    return bytes;
  }
  const auto& text = std::get<String>(value);
  if (!text.value) return bytes;
  append(bytes, "--");
  append(bytes, boundary);
  append(bytes, kLineBreak);
  append(bytes, "Content-Disposition: form-data; name=\"");
  append(bytes, escapeHeaderValue(text.paramName, true));
  append(bytes, "\"");
  append(bytes, kLineBreak);
  append(bytes, kLineBreak);
  append(bytes, text.value->text());
  append(bytes, kLineBreak);
  return bytes;
}

MultipartFormDataBodyBuilder::MultipartFormDataBodyBuilder(
    std::string boundary, std::vector<MultipartFormDataEntry> entries)
    : m_boundary(std::move(boundary)), m_entries(std::move(entries)) {}

Bytes MultipartFormDataBodyBuilder::build() const {
  Bytes body;
  for (const auto& entry : m_entries) {
    const Bytes part = entry.bytes(m_boundary);
    body.insert(body.end(), part.begin(), part.end());
  }
  append(body, "--");
  append(body, m_boundary);
  append(body, "--");
  append(body, kLineBreak);
  return body;
}

MultipartFormData makeMultipartFormData(const MultipartFormDataBodyEncodable& query) {
  MultipartFormData form;
  form.boundary = platform::makeUuidString();
  form.contentType = "multipart/form-data; boundary=" + form.boundary;
  form.body = query.encode(form.boundary);
  return form;
}

}  // namespace tessra::aiclient
