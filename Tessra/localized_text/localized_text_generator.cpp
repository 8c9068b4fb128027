// The build's writer of what the string table implies: the declarations of LocalizedText's
// accessors and the English string file. It reads localized_text_table.inc and
// localized_key_table.inc through the same macros the library compiles them with, so the compiler
// is the tables' only parser; being C++, it needs nothing the build does not already have.
//
//   tessra_localized_text_generator HEADER ENGLISH_STRING_FILE
//
// A file whose content would stay the same is left untouched: an edit of an English text then
// rebuilds the English string file, not every source that includes the header.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <cstdio>
#include <span>
#include <string_view>
#include <vector>

namespace {

using namespace Qt::StringLiterals;

// A row of the text table: a plain text, or a format text with its accessor's one parameter.
struct Row {
  std::string_view family;  // "Settings::General"
  std::string_view name;
  std::u16string_view key;
  std::u16string_view english;
  std::string_view parameter;  // "const QString& name"; empty for a plain text
};

constexpr Row kRows[] = {
#define TESSRA_PLAIN_TEXT(family, name, key, english) {#family, #name, key, english, {}},
#define TESSRA_FORMAT_TEXT(family, name, type, parameter, key, english) \
  {#family, #name, key, english, #type " " #parameter},
#include "Tessra/localized_text/localized_text_table.inc"
#undef TESSRA_FORMAT_TEXT
#undef TESSRA_PLAIN_TEXT
};

constexpr std::u16string_view kKeyedTexts[] = {
#define TESSRA_KEYED_TEXT(key) key,
#include "Tessra/localized_text/localized_key_table.inc"
#undef TESSRA_KEYED_TEXT
};

QString latin1(std::string_view text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

// A struct of the header: the accessors of its family, in the order of the table, then the
// families nested in it, in the order they first appear.
struct Family {
  QString name;
  std::vector<const Row*> rows;
  std::vector<Family> nested;

  Family& child(const QString& childName) {
    for (Family& family : nested) {
      if (family.name == childName) return family;
    }
    return nested.emplace_back(Family{childName, {}, {}});
  }
};

Family familiesOf(std::span<const Row> rows) {
  Family root;
  for (const Row& row : rows) {
    Family* family = &root;
    for (const QString& part : latin1(row.family).split(u"::"_s)) family = &family->child(part);
    family->rows.push_back(&row);
  }
  return root;
}

// An accessor's declaration, with its key where the key is not its family and name.
QString declaration(const Row& row) {
  const QString name = latin1(row.name);
  const QString key = QStringView(row.key).toString();
  const QString regularKey = latin1(row.family).replace(u"::"_s, u"."_s) + u'.' + name;
  const QString comment = key == regularKey ? QString() : u"  // \""_s + key + u'"';
  if (row.parameter.empty()) return u"static const QString& "_s + name + u"();"_s + comment;
  return u"static QString "_s + name + u'(' + latin1(row.parameter) + u");"_s + comment;
}

// The declarations of a family and of the families nested in it: plain texts, then format texts,
// then each nested family, a blank line between the groups.
QString body(const Family& family, const QString& indent) {
  QString plain;
  QString format;
  for (const Row* row : family.rows) {
    (row->parameter.empty() ? plain : format) += indent + declaration(*row) + u'\n';
  }
  QStringList groups{plain, format};
  for (const Family& nested : family.nested) {
    groups << indent + u"struct "_s + nested.name + u" {\n"_s + body(nested, indent + u"  "_s) +
                  indent + u"};\n"_s;
  }
  groups.removeAll(QString());
  return groups.join(u'\n');
}

QByteArray header() {
  QString out =
      uR"(// Generated at build time by tessra_localized_text_generator from
// Tessra/localized_text/localized_text_table.inc: a text is added or changed there, not here.
//
// The accessors of the program's texts, one per row of the table, grouped by family as their keys
// are. LocalizedText (localized_text.h) derives from this, so a text reads
// LocalizedText::Chat::pinWindow() for the key "Chat.pinWindow"; an accessor named otherwise than
// its key says its key.
#pragma once

#include <QString>

#include <cstdint>

namespace tessra {

struct LocalizedTextAccessors {
  LocalizedTextAccessors() = delete;

)"_s;
  out += body(familiesOf(kRows), u"  "_s);
  out +=
      uR"(};

}  // namespace tessra
)"_s;
  return out.toUtf8();
}

// The English language's string file: every key of the tables with its English text. A text
// looked up by its English text is its own.
QByteArray englishStringFile() {
  QJsonObject texts;
  for (const Row& row : kRows) {
    texts.insert(QStringView(row.key).toString(), QStringView(row.english).toString());
  }
  for (const std::u16string_view key : kKeyedTexts) {
    texts.insert(QStringView(key).toString(), QStringView(key).toString());
  }
  return QJsonDocument(texts).toJson(QJsonDocument::Indented);
}

bool failToWrite(const QString& path, const QString& reason) {
  std::fprintf(stderr, "tessra_localized_text_generator: cannot write %s: %s\n", qPrintable(path),
               qPrintable(reason));
  return false;
}

bool writeIfChanged(const QString& path, const QByteArray& content) {
  QFile existing(path);
  if (existing.open(QIODevice::ReadOnly) && existing.readAll() == content) return true;
  existing.close();
  const QString folder = QFileInfo(path).absolutePath();
  if (!QDir().mkpath(folder)) return failToWrite(path, u"cannot make the folder "_s + folder);
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size() || !file.commit()) {
    return failToWrite(path, file.errorString());
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s HEADER ENGLISH_STRING_FILE\n", argv[0]);
    return 2;
  }
  const bool written = writeIfChanged(QString::fromLocal8Bit(argv[1]), header()) &&
                       writeIfChanged(QString::fromLocal8Bit(argv[2]), englishStringFile());
  return written ? 0 : 1;
}
