// Chooses the language bundle that localized texts are read from.
//
// The language folders live under one resource root (":/l10n" in the program), one folder
// "<code>.lproj" per language. Two rules pick the bundle:
//   - No chosen language (the setting "system"): the base bundle, found once at its first use from
//     the system's preferred languages, English when none of them has a folder.
//   - A chosen language code: its folder, opened once and kept in a cache by code. A code without
//     a folder reads from the base bundle and is not cached, so the folder is sought again at the
//     next call.
//
// Thread safety: every member may be called from any thread. The base bundle is made under a
// once flag; the cache is guarded by m_cacheMutex. Bundles themselves are immutable.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

#include "Tessra/localized_text/language_bundle.h"

namespace tessra {

class LanguageBundles {
 public:
  // The language tags of the system, most preferred first ("de-DE", "en-US", ...).
  using PreferredLanguages = std::function<QStringList()>;

  static constexpr QStringView kEnglishCode = u"en";

  LanguageBundles(QString resourceRoot, PreferredLanguages preferredLanguages);
  LanguageBundles(const LanguageBundles&) = delete;
  LanguageBundles& operator=(const LanguageBundles&) = delete;

  // The bundle for `chosenCode`, or the base bundle when it is absent or has no folder.
  std::shared_ptr<const LanguageBundle> bundleFor(const std::optional<QString>& chosenCode);

  std::shared_ptr<const LanguageBundle> baseBundle();

  // The codes of the language folders under the root, sorted.
  QStringList availableCodes() const;

  // The codes held by the cache, sorted.
  QStringList cachedCodes() const;

 private:
  std::shared_ptr<const LanguageBundle> openBase() const;

  const QString m_resourceRoot;
  const PreferredLanguages m_preferredLanguages;

  std::once_flag m_baseOnce;
  std::shared_ptr<const LanguageBundle> m_base;  // written once under m_baseOnce

  mutable std::mutex m_cacheMutex;
  std::map<QString, std::shared_ptr<const LanguageBundle>> m_cache;  // guarded by m_cacheMutex
};

// The first of `preferred` (system language tags, "_" or "-" separated) that one of `available`
// (folder codes) serves: the same tag, or else the same language in the same script ("fr-CA" is
// served by "fr", "zh-CN" by "zh-Hans" but "zh-TW" by none). Nothing when no tag is served.
std::optional<QString> bestLanguageMatch(const QStringList& preferred,
                                         const QStringList& available);

}  // namespace tessra
