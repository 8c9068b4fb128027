#include "Tessra/localized_text/string_formatter.h"

#include <optional>

namespace tessra {

namespace {

// Reads the argument number of a positional placeholder "%n$@" starting at `start` (just after
// the "%"). Returns the number and the length of "n$@", or nothing when the text is not one.
struct Positional {
  qsizetype number = 0;
  qsizetype length = 0;
};

std::optional<Positional> readPositional(const QString& format, qsizetype start) {
  qsizetype index = start;
  qsizetype number = 0;
  while (index < format.size() && format[index].isDigit() && index - start < 3) {
    number = number * 10 + format[index].digitValue();
    ++index;
  }
  if (index == start || number == 0) return std::nullopt;
  if (index + 1 >= format.size() || format[index] != u'$' || format[index + 1] != u'@') {
    return std::nullopt;
  }
  return Positional{number, index + 2 - start};
}

}  // namespace

QString formatLocalized(const QString& format, const QStringList& arguments) {
  QString result;
  result.reserve(format.size());
  qsizetype nextArgument = 0;
  qsizetype index = 0;
  while (index < format.size()) {
    const QChar character = format[index];
    if (character != u'%' || index + 1 >= format.size()) {
      result.append(character);
      ++index;
      continue;
    }
    const QChar specifier = format[index + 1];
    if (specifier == u'%') {
      result.append(u'%');
      index += 2;
      continue;
    }
    if (specifier == u'@') {
      if (nextArgument < arguments.size()) {
        result.append(arguments[nextArgument++]);
      } else {
        result.append(QStringLiteral("%@"));
      }
      index += 2;
      continue;
    }
    if (const auto positional = readPositional(format, index + 1)) {
      if (positional->number <= arguments.size()) {
        result.append(arguments[positional->number - 1]);
      } else {
        result.append(format.mid(index, positional->length + 1));
      }
      index += positional->length + 1;
      continue;
    }
    result.append(character);
    ++index;
  }
  return result;
}

}  // namespace tessra
