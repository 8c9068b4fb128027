#include "Tessra/localized_text/language_bundle.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <optional>

#include "platform/foundation/logger.h"

namespace tessra {

namespace {

constexpr QLatin1String kFolderExtension(".lproj");
constexpr QLatin1String kTableExtension("json");

}  // namespace

LanguageBundle::LanguageBundle(Key, QString path, QString code, QHash<QString, Table> tables)
    : m_path(std::move(path)), m_code(std::move(code)), m_tables(std::move(tables)) {}

std::shared_ptr<const LanguageBundle> LanguageBundle::open(const QString& folderPath) {
  const QFileInfo folder(folderPath);
  if (!folder.isDir()) return nullptr;

  QString code = folder.fileName();
  if (code.endsWith(kFolderExtension)) code.chop(kFolderExtension.size());

  QHash<QString, Table> tables;
  const QDir dir(folderPath);
  const QStringList tableFiles = dir.entryList({QStringLiteral("*.") + kTableExtension},
                                               QDir::Files | QDir::Readable, QDir::Name);
  for (const QString& fileName : tableFiles) {
    auto table = readTable(dir.filePath(fileName));
    if (!table) continue;
    tables.insert(QFileInfo(fileName).completeBaseName(), std::move(*table));
  }
  return std::make_shared<const LanguageBundle>(Key{}, folder.absoluteFilePath(), std::move(code),
                                                std::move(tables));
}

std::shared_ptr<const LanguageBundle> LanguageBundle::empty() {
  return std::make_shared<const LanguageBundle>(Key{}, QString(), QString(),
                                                QHash<QString, Table>());
}

QString LanguageBundle::localizedString(const QString& key, const QString& value,
                                        const QString& table) const {
  const auto foundTable = m_tables.constFind(table);
  if (foundTable == m_tables.cend()) return value;
  return foundTable->value(key, value);
}

std::optional<LanguageBundle::Table> LanguageBundle::readTable(const QString& filePath) {
  QFile file(filePath);
  if (!file.open(QIODevice::ReadOnly)) {
    platform::logError("String table {} cannot be opened: {}", filePath.toStdString(),
                       file.errorString().toStdString());
    return std::nullopt;
  }
  QJsonParseError parseError;
  const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
  if (parseError.error != QJsonParseError::NoError || !document.isObject()) {
    platform::logError("String table {} is not a JSON object: {} at offset {}",
                       filePath.toStdString(), parseError.errorString().toStdString(),
                       parseError.offset);
    return std::nullopt;
  }
  Table table;
  const QJsonObject object = document.object();
  for (auto entry = object.begin(); entry != object.end(); ++entry) {
    if (!entry.value().isString()) {
      // One bad row must not cost the language its other texts.
      platform::logError("String table {}: the value of \"{}\" is not text; it is skipped",
                         filePath.toStdString(), entry.key().toStdString());
      continue;
    }
    table.insert(entry.key(), entry.value().toString());
  }
  return table;
}

}  // namespace tessra
