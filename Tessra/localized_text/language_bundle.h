// One language's string tables, read from a language folder such as ":/l10n/de.lproj".
//
// A folder holds one JSON file per table ("Localizable.json"), each a flat object from key to
// text. A bundle is read whole when it is opened and never changes afterwards, so it can be shared
// between threads without a lock. Nothing here fails towards the caller: a table that is missing
// or cannot be read answers every key with the caller's fallback, and an unreadable table is logged
// once when the bundle is opened.
#pragma once

#include <QHash>
#include <QString>

#include <memory>
#include <optional>

namespace tessra {

class LanguageBundle {
 public:
  // Opens the language folder at `folderPath`; nothing when there is no folder there.
  static std::shared_ptr<const LanguageBundle> open(const QString& folderPath);

  // A bundle without tables, whose every lookup yields the fallback.
  static std::shared_ptr<const LanguageBundle> empty();

  // The text of `key` in `table`, or `value` when the table or the key is missing.
  QString localizedString(const QString& key, const QString& value, const QString& table) const;

  // The folder the bundle was read from; empty for the empty bundle.
  const QString& path() const { return m_path; }

  // The language code the folder is named by ("de" for "de.lproj"); empty for the empty bundle.
  const QString& code() const { return m_code; }

 private:
  using Table = QHash<QString, QString>;
  // Lets make_shared reach the constructor while keeping it closed to everyone else.
  struct Key {
    explicit Key() = default;
  };

 public:
  LanguageBundle(Key, QString path, QString code, QHash<QString, Table> tables);

 private:
  static std::optional<Table> readTable(const QString& filePath);

  QString m_path;
  QString m_code;
  QHash<QString, Table> m_tables;
};

}  // namespace tessra
