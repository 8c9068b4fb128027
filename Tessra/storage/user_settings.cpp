#include "Tessra/storage/user_settings.h"

#include <utility>

#include "Tessra/localized_text/localized_text.h"
#include "platform/foundation/logger.h"

namespace tessra {

// The keyring side: one serial worker, so the load and every save run one after another in the
// order they were asked for. Shared with the jobs, which may outlive the settings object.
struct UserSettings::KeyWorker {
  explicit KeyWorker(keychain::Keychain keychain)
      : keychain(std::move(keychain)), queue("org.tessra.Tessra.settings.keychain") {}

  const keychain::Keychain keychain;
  platform::SerialQueue queue;
  // The number of the latest save asked for; a save that is no longer the latest is skipped,
  // since a later one will write its newer value.
  std::atomic<std::uint64_t> latestSave{0};
};

UserSettings& UserSettings::shared() {
  static UserSettings* const instance = [] {
    // Never released: the settings live until the program quits.
    auto* settings = new UserSettings(
        platform::UserDefaults::standard(), keychain::Keychain(std::string(kKeychainService)),
        platform::NotificationCenter::defaultCenter(), platform::mainQueue());
    LocalizedText::setChosenLanguageProvider([settings] { return settings->chosenLanguageCode(); });
    return settings;
  }();
  // At exit the keyring worker finishes the saves asked for before static destruction goes on:
  // none of its jobs runs once the objects it reaches are being torn down.
  static const struct FinishKeyringWorkAtExit {
    ~FinishKeyringWorkAtExit() {
      instance->m_worker->queue.sync([] {});
    }
  } finishAtExit;
  return *instance;
}

UserSettings::UserSettings(platform::UserDefaults& defaults, keychain::Keychain keychain,
                           platform::NotificationCenter& center, platform::Queue& mainQueue,
                           QObject* parent)
    : QObject(parent),
      m_defaults(defaults),
      m_center(center),
      m_mainQueue(mainQueue),
      m_worker(std::make_shared<KeyWorker>(std::move(keychain))),
      m_self(std::make_shared<UserSettings*>(this)) {
  startKeyLoad();
}

UserSettings::~UserSettings() {
  // A save asked for must still reach the keyring; results that come back later find no object.
  m_worker->queue.sync([] {});
  m_self.reset();
}

std::optional<AppLanguage> UserSettings::chosenLanguage() const {
  const AppLanguage language = value(setting::appLanguage);
  if (language == AppLanguage::system) return std::nullopt;
  return language;
}

std::optional<std::string> UserSettings::chosenLanguageCode() const {
  const auto language = chosenLanguage();
  if (!language) return std::nullopt;
  return std::string(rawValue(*language));
}

void UserSettings::post(std::string_view name) { m_center.post(std::string(name)); }

void UserSettings::setOpenAiKey(const std::string& key) {
  const bool changed = key != m_openAiKey;
  m_openAiKey = key;
  emit openAiKeyChanged(m_openAiKey);
  if (!changed) return;
  if (!m_loaded) {
    // Saved once the stored key is known, instead of being overwritten by it.
    m_keyChangedBeforeLoad = true;
    return;
  }
  startKeySave(m_openAiKey);
}

void UserSettings::publishWrite(const Result<void>& written) {
  std::optional<std::string> error;
  if (!written) error = describe(written.error());
  if (error == m_writeError) return;
  m_writeError = std::move(error);
  emit writeErrorChanged();
}

void UserSettings::setOpenAiKey(const std::string& key, std::function<void(Result<void>)> saved) {
  const bool changed = key != m_openAiKey;
  m_openAiKey = key;
  if (changed) emit openAiKeyChanged(m_openAiKey);
  if (!m_loaded) {
    m_keyChangedBeforeLoad = m_keyChangedBeforeLoad || changed;
    m_saveCompletions.emplace_back(0, std::move(saved));
    return;
  }
  m_saveCompletions.emplace_back(startKeySave(m_openAiKey), std::move(saved));
}

void UserSettings::setKeychainError(std::optional<std::string> error) {
  if (error == m_keychainError) return;
  m_keychainError = std::move(error);
  emit keychainErrorChanged();
}

bool UserSettings::publishKeyringOutcome(std::optional<keychain::Status> failure) {
  const bool available = failure != keychain::Status::notAvailable;
  if (failure) {
    setKeychainError(available ? std::string(keychain::description(*failure))
                               : LocalizedText::ApiKey::keptForThisRunOnly().toStdString());
  } else {
    setKeychainError(std::nullopt);
  }
  if (available != m_keyringAvailable) {
    m_keyringAvailable = available;
    emit keyringAvailableChanged(available);
  }
  return !failure || !available;
}

void UserSettings::startKeyLoad() {
  std::weak_ptr<UserSettings*> self = m_self;
  platform::Queue* mainQueue = &m_mainQueue;
  m_worker->queue.async([worker = m_worker, self, mainQueue] {
    auto stored = worker->keychain.get(kOpenAiKeyItem);
    mainQueue->async([self, stored = std::move(stored)]() mutable {
      if (const auto owner = self.lock()) (*owner)->finishKeyLoad(std::move(stored));
    });
  });
}

void UserSettings::finishKeyLoad(keychain::KeychainResult<std::optional<std::string>> stored) {
  std::string storedKey;
  std::optional<keychain::Status> failure;
  if (stored) {
    storedKey = stored->value_or("");
  } else {
    failure = stored.error();
    platform::logError("Could not read the API key from the login keyring: {}",
                       keychain::description(*failure));
  }
  publishKeyringOutcome(failure);

  // A key typed before the stored one was known wins; a field typed into and cleared again
  // before then holds no key of the user's, and must not remove the stored one.
  const bool waitingCompletions = !m_saveCompletions.empty();
  if (m_keyChangedBeforeLoad && !m_openAiKey.empty()) {
    m_loaded = true;
    emit loadedChanged(true);
    if (m_openAiKey != storedKey || waitingCompletions) startKeySave(m_openAiKey);
    return;
  }
  if (m_openAiKey != storedKey) {
    m_openAiKey = storedKey;
    emit openAiKeyChanged(m_openAiKey);
  }
  m_loaded = true;
  emit loadedChanged(true);
  // Only an emptied field was waiting: its outcome is that of the read.
  if (waitingCompletions) finishKeySave(0, failure);
}

std::uint64_t UserSettings::startKeySave(std::string key) {
  const std::uint64_t number = ++m_worker->latestSave;
  // Completions that waited for the load report with this first write after it.
  for (auto& [waitingFor, completion] : m_saveCompletions) {
    if (waitingFor == 0) waitingFor = number;
  }
  std::weak_ptr<UserSettings*> self = m_self;
  platform::Queue* mainQueue = &m_mainQueue;
  m_worker->queue.async([worker = m_worker, self, mainQueue, number, key = std::move(key)] {
    // A skipped write reports nothing: the later one reports to its callers as well.
    if (number != worker->latestSave.load()) return;
    const auto saved = key.empty() ? worker->keychain.remove(kOpenAiKeyItem)
                                   : worker->keychain.set(key, kOpenAiKeyItem);
    std::optional<keychain::Status> failure;
    if (!saved) {
      failure = saved.error();
      if (*failure == keychain::Status::notAvailable) {
        platform::logError("No login keyring is available: the API key is kept for this run only");
      } else {
        platform::logError("Could not save the API key in the login keyring: {}",
                           keychain::description(*failure));
      }
    }
    mainQueue->async([self, number, failure] {
      if (const auto owner = self.lock()) (*owner)->finishKeySave(number, failure);
    });
  });
  return number;
}

void UserSettings::finishKeySave(std::uint64_t number, std::optional<keychain::Status> failure) {
  // Without a keyring the key is kept in memory, as the user is told: the save is done.
  const std::optional<std::string> error =
      publishKeyringOutcome(failure) ? std::nullopt : m_keychainError;
  std::vector<std::function<void(Result<void>)>> due;
  std::erase_if(m_saveCompletions, [&](auto& entry) {
    if (entry.first > number) return false;
    due.push_back(std::move(entry.second));
    return true;
  });
  for (auto& completion : due) {
    if (!completion) continue;
    if (error) {
      completion(std::unexpected(std::make_exception_ptr(TextError(*error))));
    } else {
      completion({});
    }
  }
}

}  // namespace tessra
