#include "Tessra/localized_text/language_bundles.h"

#include <QDir>
#include <QLocale>

#include "platform/foundation/logger.h"

namespace tessra {

namespace {

constexpr QLatin1String kFolderExtension(".lproj");

// A code names a folder directly under the root, nothing else.
bool isPlainCode(const QString& code) {
  return !code.isEmpty() && code != u"." && code != u".." && !code.contains(u'/') &&
         !code.contains(u'\\');
}

bool sameLanguageAndScript(const QLocale& a, const QLocale& b) {
  return a.language() == b.language() && a.script() == b.script();
}

}  // namespace

LanguageBundles::LanguageBundles(QString resourceRoot, PreferredLanguages preferredLanguages)
    : m_resourceRoot(std::move(resourceRoot)),
      m_preferredLanguages(std::move(preferredLanguages)) {}

std::shared_ptr<const LanguageBundle> LanguageBundles::bundleFor(
    const std::optional<QString>& chosenCode) {
  if (!chosenCode) return baseBundle();
  if (!isPlainCode(*chosenCode)) return baseBundle();
  {
    const std::lock_guard lock(m_cacheMutex);
    if (const auto cached = m_cache.find(*chosenCode); cached != m_cache.end()) {
      return cached->second;
    }
    auto opened = LanguageBundle::open(m_resourceRoot + u'/' + *chosenCode + kFolderExtension);
    if (opened) {
      m_cache.emplace(*chosenCode, opened);
      return opened;
    }
  }
  return baseBundle();
}

std::shared_ptr<const LanguageBundle> LanguageBundles::baseBundle() {
  std::call_once(m_baseOnce, [this] { m_base = openBase(); });
  return m_base;
}

QStringList LanguageBundles::availableCodes() const {
  QStringList codes;
  const QStringList folders = QDir(m_resourceRoot)
                                  .entryList({QStringLiteral("*") + kFolderExtension},
                                             QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
  for (QString folder : folders) {
    folder.chop(kFolderExtension.size());
    codes.append(folder);
  }
  return codes;
}

QStringList LanguageBundles::cachedCodes() const {
  const std::lock_guard lock(m_cacheMutex);
  QStringList codes;
  for (const auto& entry : m_cache) codes.append(entry.first);
  return codes;
}

std::shared_ptr<const LanguageBundle> LanguageBundles::openBase() const {
  const QStringList preferred = m_preferredLanguages ? m_preferredLanguages() : QStringList();
  QStringList candidates;
  if (const auto match = bestLanguageMatch(preferred, availableCodes())) candidates.append(*match);
  if (!candidates.contains(kEnglishCode)) candidates.append(kEnglishCode.toString());
  for (const QString& code : candidates) {
    if (auto bundle = LanguageBundle::open(m_resourceRoot + u'/' + code + kFolderExtension)) {
      return bundle;
    }
  }
  platform::logError("No language folder under {}: texts are shown in English",
                     m_resourceRoot.toStdString());
  return LanguageBundle::empty();
}

std::optional<QString> bestLanguageMatch(const QStringList& preferred,
                                         const QStringList& available) {
  for (const QString& rawTag : preferred) {
    const QString tag = QString(rawTag).replace(u'_', u'-');
    for (const QString& code : available) {
      if (code.compare(tag, Qt::CaseInsensitive) == 0) return code;
    }
    const QLocale locale(tag);
    // An unknown tag parses as the C locale, which no folder serves.
    if (locale.language() == QLocale::C || locale.language() == QLocale::AnyLanguage) continue;
    for (const QString& code : available) {
      if (sameLanguageAndScript(QLocale(code), locale)) return code;
    }
  }
  return std::nullopt;
}

}  // namespace tessra
