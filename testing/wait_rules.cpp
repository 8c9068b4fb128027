#include "testing/wait_rules.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace tessra::testing {

namespace {

// One line of a source: as written, its code with the content of literals and comments left
// out, and the text of its comments.
struct SourceLine {
  std::string_view raw;
  std::string code;
  std::string comment;
};

bool isIdentifierChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

bool isBlank(std::string_view text) {
  return std::ranges::all_of(text,
                             [](char c) { return std::isspace(static_cast<unsigned char>(c)); });
}

std::string_view trimmedStart(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
    text.remove_prefix(1);
  return text;
}

// Splits a C++ source into lines of code and comments. Raw strings, digit separators (1'000) and
// escapes in literals are followed, so a quote or a comment marker inside any of them opens
// nothing.
std::vector<SourceLine> readLines(std::string_view text) {
  enum class State { code, lineComment, blockComment, string, character, rawString };
  State state = State::code;
  std::string rawEnd;  // `)delimiter"` of the raw string being read
  bool inNumber = false;
  std::vector<SourceLine> lines(1);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const char next = i + 1 < text.size() ? text[i + 1] : '\0';
    SourceLine& line = lines.back();
    if (c == '\n') {
      if (state == State::lineComment) state = State::code;
      inNumber = false;
      lines.emplace_back();
      continue;
    }
    switch (state) {
      case State::code:
        if (c == '/' && next == '/') {
          state = State::lineComment;
          ++i;
        } else if (c == '/' && next == '*') {
          state = State::blockComment;
          ++i;
        } else if (c == '"') {
          // R"delimiter( ... )delimiter", also after an encoding prefix (u8R, LR ...).
          std::size_t start = line.code.size();
          while (start > 0 && isIdentifierChar(line.code[start - 1])) --start;
          const std::string_view prefix = std::string_view(line.code).substr(start);
          constexpr std::array kRawPrefixes = {"R", "u8R", "uR", "UR", "LR"};
          if (std::ranges::find(kRawPrefixes, prefix) != kRawPrefixes.end()) {
            const std::size_t open = text.find('(', i + 1);
            if (open != std::string_view::npos) {
              rawEnd = ")" + std::string(text.substr(i + 1, open - i - 1)) + "\"";
              i = open;
              state = State::rawString;
              line.code += '"';
              break;
            }
          }
          state = State::string;
          line.code += c;
        } else if (c == '\'' && !inNumber) {
          state = State::character;
          line.code += c;
        } else {
          // A number runs on through letters, digits, points and separators: 0x1'f, 1.5e3.
          if (isIdentifierChar(c) || c == '.' || (c == '\'' && inNumber)) {
            const bool startsToken =
                line.code.empty() || !(isIdentifierChar(line.code.back()) ||
                                       line.code.back() == '.' || line.code.back() == '\'');
            if (startsToken)
              inNumber = std::isdigit(static_cast<unsigned char>(c)) ||
                         (c == '.' && std::isdigit(static_cast<unsigned char>(next)));
          } else {
            inNumber = false;
          }
          line.code += c;
        }
        break;
      case State::lineComment:
        line.comment += c;
        break;
      case State::blockComment:
        if (c == '*' && next == '/') {
          state = State::code;
          line.comment += ' ';
          ++i;
        } else {
          line.comment += c;
        }
        break;
      case State::string:
      case State::character:
        if (c == '\\' && next != '\0' && next != '\n') {
          ++i;
        } else if (c == (state == State::string ? '"' : '\'')) {
          state = State::code;
          line.code += c;
        }
        break;
      case State::rawString:
        if (text.substr(i, rawEnd.size()) == rawEnd) {
          i += rawEnd.size() - 1;
          state = State::code;
          line.code += '"';
        }
        break;
    }
  }
  std::size_t start = 0;
  for (SourceLine& line : lines) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    line.raw = text.substr(start, end - start);
    start = end + 1;
  }
  return lines;
}

// The identifiers of a line of code, with where each ends.
std::vector<std::pair<std::string_view, std::size_t>> identifiers(std::string_view code) {
  std::vector<std::pair<std::string_view, std::size_t>> found;
  std::size_t i = 0;
  while (i < code.size()) {
    if (!isIdentifierChar(code[i])) {
      ++i;
      continue;
    }
    const std::size_t start = i;
    while (i < code.size() && isIdentifierChar(code[i])) ++i;
    if (!std::isdigit(static_cast<unsigned char>(code[start])))
      found.emplace_back(code.substr(start, i - start), i);
  }
  return found;
}

bool isQtTestCheck(std::string_view name) {
  return name.starts_with("QTRY_") || name.starts_with("QVERIFY") || name.starts_with("QCOMPARE") ||
         name == "QFAIL" || name == "QSKIP";
}

// The comments that speak for line `index`: its own and those of the comment lines just above
// it, joined in lower case. A comment after code speaks for that code only.
std::string commentsAbout(const std::vector<SourceLine>& lines, std::size_t index) {
  std::string text = lines[index].comment;
  for (std::size_t above = index; above > 0; --above) {
    const SourceLine& line = lines[above - 1];
    if (isBlank(line.comment) || !isBlank(line.code)) break;
    text = line.comment + ' ' + text;
  }
  std::string lower;
  for (const char c : text) {
    const char folded = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const bool space = std::isspace(static_cast<unsigned char>(folded));
    if (space && (lower.empty() || lower.back() == ' ')) continue;
    lower += space ? ' ' : folded;
  }
  return lower;
}

// "a check that nothing happens:" followed by the reason.
bool saysWhyNothingHappens(std::string_view comments) {
  constexpr std::string_view kMarker = "a check that nothing happens:";
  const std::size_t at = comments.find(kMarker);
  if (at == std::string_view::npos) return false;
  const std::string_view reason = comments.substr(at + kMarker.size());
  return std::ranges::any_of(reason,
                             [](char c) { return std::isalnum(static_cast<unsigned char>(c)); });
}

}  // namespace

bool isGoogleTestSource(std::string_view path, std::string_view text) {
  if (path.starts_with("testing/")) return true;
  const std::size_t slash = path.rfind('/');
  const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  if (name.find("_test") != std::string_view::npos) return true;
  for (const SourceLine& line : readLines(text)) {
    const std::string_view code = trimmedStart(line.code);
    if (code.starts_with("#")) {
      const std::string_view directive = trimmedStart(code.substr(1));
      if (directive.starts_with("include") && (line.raw.find("gtest/") != std::string_view::npos ||
                                               line.raw.find("gmock/") != std::string_view::npos))
        return true;
      continue;
    }
    const auto names = identifiers(code);
    if (names.empty() || names.front().first.data() != code.data()) continue;
    constexpr std::array kCaseMacros = {"TEST", "TEST_F", "TEST_P", "TYPED_TEST", "TYPED_TEST_P"};
    if (std::ranges::find(kCaseMacros, names.front().first) == kCaseMacros.end()) continue;
    if (trimmedStart(code.substr(names.front().second)).starts_with("(")) return true;
  }
  return false;
}

std::vector<WaitRuleBreak> waitRuleBreaks(std::string_view text) {
  const std::vector<SourceLine> lines = readLines(text);
  std::vector<WaitRuleBreak> breaks;
  for (std::size_t index = 0; index < lines.size(); ++index) {
    const std::string& code = lines[index].code;
    for (const auto& [name, end] : identifiers(code)) {
      const int number = static_cast<int>(index) + 1;
      if (isQtTestCheck(name)) {
        breaks.push_back({number, std::string(name) +
                                      " reports to QTest, which a GoogleTest case never reads: a "
                                      "failure passes. Use ASSERT_EVENTUALLY or a GoogleTest "
                                      "check"});
        continue;
      }
      if (name != "qWait" || !trimmedStart(std::string_view(code).substr(end)).starts_with("("))
        continue;
      if (saysWhyNothingHappens(commentsAbout(lines, index))) continue;
      breaks.push_back({number,
                        "qWait sleeps: wait for the condition with ASSERT_EVENTUALLY, or say in a "
                        "comment \"a check that nothing happens: <why>\""});
    }
  }
  return breaks;
}

}  // namespace tessra::testing
