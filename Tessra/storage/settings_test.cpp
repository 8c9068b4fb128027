#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "Tessra/localized_text/localized_text.h"
#include "Tessra/storage/notification_names.h"
#include "Tessra/storage/settings_enums.h"
#include "Tessra/storage/settings_table.h"
#include "Tessra/storage/storage_test_support.h"
#include "Tessra/storage/user_settings.h"
#include "testing/temp_dir.h"

namespace tessra {
namespace {

using platform::UserDefaults;

// --- Enumerations
// ---------------------------------------------------------------------------------

TEST(SettingsEnumsTest, SizeTitlesComeFromTheStringTable) {
  // English is asked for before any size title is first computed in this process.
  LocalizedText::setChosenLanguageProvider([] { return std::optional<std::string>("en"); });
  std::vector<std::string> titles;
  for (FloatingWindowSize s : allFloatingWindowSizes()) titles.push_back(title(s));
  EXPECT_EQ(titles, (std::vector<std::string>{"Extra Small - 500px", "Small - 600px",
                                              "Default - 700px", "Large - 800px",
                                              "Extra Large - 900px", "Ultra Wide - 1000px"}));
  LocalizedText::setChosenLanguageProvider({});
}

// --- Settings keys
// --------------------------------------------------------------------------------

class SettingsKeysTest : public ::testing::Test {
 protected:
  testing::TempDir m_dir;
  UserDefaults m_defaults{m_dir / "defaults.json"};
};

TEST_F(SettingsKeysTest, StoredValuesAndTheirReadings) {
  struct Case {
    std::string_view key;
    nlohmann::json stored;
    std::function<bool()> holds;
  };
  const Case cases[] = {
      {setting::floatingWindowSize.key, 6,
       [&] { return setting::floatingWindowSize.read(m_defaults) == FloatingWindowSize::medium; }},
      {setting::floatingWindowSize.key, -1,
       [&] { return setting::floatingWindowSize.read(m_defaults) == FloatingWindowSize::medium; }},
      {setting::floatingWindowSize.key, 4,
       [&] {
         return setting::floatingWindowSize.read(m_defaults) == FloatingWindowSize::extraLarge;
       }},
      {setting::popupPosition.key, 7,
       [&] { return setting::popupPosition.read(m_defaults) == PopupPosition::right; }},
      {setting::popupPosition.key, 2,
       [&] { return setting::popupPosition.read(m_defaults) == PopupPosition::top; }},
      {setting::popupPadding.key, 9,
       [&] { return setting::popupPadding.read(m_defaults) == FloatingWindowPadding::none; }},
      {setting::menuBarVisible.key, 2, [&] { return !setting::menuBarVisible.read(m_defaults); }},
      {setting::menuBarVisible.key, "0", [&] { return setting::menuBarVisible.read(m_defaults); }},
      {setting::openAiModel.key, "gpt-4o",
       [&] { return setting::openAiModel.read(m_defaults) == ChatGPTModels::gpt4; }},
      {setting::openAiModel.key, "gpt35",
       [&] { return setting::openAiModel.read(m_defaults) == ChatGPTModels::gpt35; }},
      {setting::appLanguage.key, "EN",
       [&] { return setting::appLanguage.read(m_defaults) == AppLanguage::system; }},
      {setting::appLanguage.key, "pt-BR",
       [&] { return setting::appLanguage.read(m_defaults) == AppLanguage::brazilianPortuguese; }},
      {setting::openAiCustomHost.key, "http://h",
       [&] { return setting::openAiCustomHost.read(m_defaults) == "http://h"; }},
      {setting::onboardingPresented.key, true,
       [&] { return setting::onboardingPresented.read(m_defaults); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.key) + " = " + c.stored.dump());
    ASSERT_TRUE(m_defaults.set(c.key, c.stored).has_value());
    EXPECT_TRUE(c.holds());
  }
}

// What a user's defaults file holds, written out here rather than read from the table: a key or
// form changed there by mistake would lose every user's stored value, and only a literal copy
// notices. Every value differs from what an absent key reads as, so each one is really stored.
constexpr const char* kUsersDefaults = R"({
  "appLanguage": "ja",
  "soundEffects": 1,
  "menuBarVisible": 1,
  "overlayIconVisible": 1,
  "popupWindowPosition": 2,
  "window-size": 4,
  "popupPadding": 3,
  "sideBarVisible": 1,
  "onboardingPresented": true,
  "open-ai-model": "gpt35",
  "open-ai-custom-host": "http://127.0.0.1:8080"
})";

TEST_F(SettingsKeysTest, AUsersDefaultsFileReadsAsTheyLeftItAndIsWhatTheSettingsWrite) {
  const auto stored = nlohmann::json::parse(kUsersDefaults);
  {
    std::ofstream file(m_dir / "users.json");
    file << kUsersDefaults;
  }
  const UserDefaults users(m_dir / "users.json");
  EXPECT_EQ(setting::appLanguage.read(users), AppLanguage::japanese);
  EXPECT_FALSE(setting::soundEffectEnabled.read(users));
  EXPECT_FALSE(setting::menuBarVisible.read(users));
  EXPECT_FALSE(setting::overlayIconVisible.read(users));
  EXPECT_EQ(setting::popupPosition.read(users), PopupPosition::top);
  EXPECT_EQ(setting::floatingWindowSize.read(users), FloatingWindowSize::extraLarge);
  EXPECT_EQ(setting::popupPadding.read(users), FloatingWindowPadding::large);
  EXPECT_FALSE(setting::sideBarVisible.read(users));
  EXPECT_TRUE(setting::onboardingPresented.read(users));
  EXPECT_EQ(setting::openAiModel.read(users), ChatGPTModels::gpt35);
  EXPECT_EQ(setting::openAiCustomHost.read(users), "http://127.0.0.1:8080");

  ASSERT_TRUE(setting::appLanguage.write(AppLanguage::japanese, m_defaults));
  ASSERT_TRUE(setting::soundEffectEnabled.write(false, m_defaults));
  ASSERT_TRUE(setting::menuBarVisible.write(false, m_defaults));
  ASSERT_TRUE(setting::overlayIconVisible.write(false, m_defaults));
  ASSERT_TRUE(setting::popupPosition.write(PopupPosition::top, m_defaults));
  ASSERT_TRUE(setting::floatingWindowSize.write(FloatingWindowSize::extraLarge, m_defaults));
  ASSERT_TRUE(setting::popupPadding.write(FloatingWindowPadding::large, m_defaults));
  ASSERT_TRUE(setting::sideBarVisible.write(false, m_defaults));
  ASSERT_TRUE(setting::onboardingPresented.write(true, m_defaults));
  ASSERT_TRUE(setting::openAiModel.write(ChatGPTModels::gpt35, m_defaults));
  ASSERT_TRUE(setting::openAiCustomHost.write("http://127.0.0.1:8080", m_defaults));
  std::ifstream written(m_dir / "defaults.json");
  EXPECT_EQ(nlohmann::json::parse(written), stored);
}

// --- The settings object
// --------------------------------------------------------------------------

class UserSettingsTest : public ::testing::Test {
 protected:
  UserSettingsTest() {
    for (std::string_view name : notification_names::all()) {
      m_tokens.push_back(m_center.addObserver(
          std::string(name),
          [this](const platform::Notification& n) { m_posted.push_back(n.name); }));
    }
  }
  ~UserSettingsTest() override {
    m_settings.reset();
    (void)m_keychain.remove(UserSettings::kOpenAiKeyItem);
  }

  std::unique_ptr<UserSettings> make() {
    return std::make_unique<UserSettings>(m_defaults, m_keychain, m_center, m_mainQueue);
  }
  void waitForLoad(UserSettings& settings) {
    ASSERT_TRUE(
        storage_test::waitUntil([&] { return settings.loaded(); },
                                [&] { m_mainQueue.drainFor(std::chrono::milliseconds(50)); }));
  }
  std::optional<std::string> storedKey() {
    auto stored = m_keychain.get(UserSettings::kOpenAiKeyItem);
    EXPECT_TRUE(stored.has_value());
    return stored ? *stored : std::nullopt;
  }

  testing::TempDir m_dir;
  UserDefaults m_defaults{m_dir / "defaults.json"};
  // A service of this process's own, so tests never meet each other's items.
  keychain::Keychain m_keychain{"org.tessra.Tessra.storage-tests." + std::to_string(::getpid())};
  platform::NotificationCenter m_center;
  platform::MainQueue m_mainQueue;
  std::vector<platform::NotificationCenter::ObserverToken> m_tokens;
  std::vector<std::string> m_posted;
  std::unique_ptr<UserSettings> m_settings;
};

TEST_F(UserSettingsTest, CreationReadsTheDefaultsSilently) {
  ASSERT_TRUE(setting::popupPosition.write(PopupPosition::bottom, m_defaults));
  ASSERT_TRUE(setting::menuBarVisible.write(false, m_defaults));
  ASSERT_TRUE(m_defaults.set(setting::floatingWindowSize.key, 17));
  m_settings = make();
  EXPECT_EQ(m_settings->value(setting::popupPosition), PopupPosition::bottom);
  EXPECT_FALSE(m_settings->value(setting::menuBarVisible));
  EXPECT_EQ(m_settings->value(setting::floatingWindowSize), FloatingWindowSize::medium);
  EXPECT_EQ(m_settings->value(setting::appLanguage), AppLanguage::system);
  EXPECT_EQ(m_settings->chosenLanguage(), std::nullopt);
  EXPECT_FALSE(m_settings->loaded());
  EXPECT_EQ(m_settings->openAiKey(), "");
  EXPECT_TRUE(m_posted.empty());
}

TEST_F(UserSettingsTest, HidingTheTrayIconTurnsTheSideButtonOn) {
  ASSERT_TRUE(setting::overlayIconVisible.write(false, m_defaults));
  m_settings = make();
  m_settings->setValue(setting::menuBarVisible, false);
  EXPECT_EQ(m_posted,
            (std::vector<std::string>{"overlayVisibilityChanged", "menuBarVisibilityChanged"}));
  EXPECT_EQ(m_defaults.integer(setting::overlayIconVisible.key), 0);
  EXPECT_EQ(m_defaults.integer(setting::menuBarVisible.key), 1);
  EXPECT_FALSE(m_settings->value(setting::menuBarVisible));
  EXPECT_TRUE(m_settings->value(setting::overlayIconVisible));

  m_posted.clear();
  m_settings->setValue(setting::menuBarVisible, true);
  EXPECT_EQ(m_posted, (std::vector<std::string>{"menuBarVisibilityChanged"}));
  EXPECT_EQ(m_defaults.integer(setting::menuBarVisible.key), 0);
}

TEST_F(UserSettingsTest, WriteThroughAndNotifications) {
  m_settings = make();
  struct Case {
    const char* name;
    std::function<void()> set;
    std::vector<std::string> posted;
    std::function<bool()> stored;
  };
  const Case cases[] = {
      {"same language",
       [&] { m_settings->setValue(setting::appLanguage, AppLanguage::system); },
       {},
       [&] { return !m_defaults.object(setting::appLanguage.key).has_value(); }},
      {"new language",
       [&] { m_settings->setValue(setting::appLanguage, AppLanguage::french); },
       {"appLanguageChanged"},
       [&] { return m_defaults.string(setting::appLanguage.key) == "fr"; }},
      {"same position",
       [&] { m_settings->setValue(setting::popupPosition, PopupPosition::right); },
       {"floatingWindowPositionDidChanged"},
       [&] { return m_defaults.integer(setting::popupPosition.key) == 0; }},
      {"padding",
       [&] { m_settings->setValue(setting::popupPadding, FloatingWindowPadding::large); },
       {"floatingWindowSizeDidChanged"},
       [&] { return m_defaults.integer(setting::popupPadding.key) == 3; }},
      {"size",
       [&] { m_settings->setValue(setting::floatingWindowSize, FloatingWindowSize::small); },
       {"floatingWindowSizeDidChanged"},
       [&] { return m_defaults.integer(setting::floatingWindowSize.key) == 1; }},
      {"sound",
       [&] { m_settings->setValue(setting::soundEffectEnabled, false); },
       {},
       [&] { return m_defaults.integer(setting::soundEffectEnabled.key) == 1; }},
      {"side button",
       [&] { m_settings->setValue(setting::overlayIconVisible, false); },
       {"overlayVisibilityChanged"},
       [&] { return m_defaults.integer(setting::overlayIconVisible.key) == 1; }},
      {"conversation list",
       [&] { m_settings->setValue(setting::sideBarVisible, false); },
       {},
       [&] { return m_defaults.integer(setting::sideBarVisible.key) == 1; }},
      {"onboarding",
       [&] { m_settings->setValue(setting::onboardingPresented, true); },
       {},
       [&] { return m_defaults.boolean(setting::onboardingPresented.key) == true; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    m_posted.clear();
    c.set();
    EXPECT_EQ(m_posted, c.posted);
    EXPECT_TRUE(c.stored());
  }
  EXPECT_EQ(m_settings->chosenLanguage(), AppLanguage::french);
  EXPECT_EQ(m_settings->chosenLanguageCode(), "fr");
  // A new object reads back what the setters stored.
  auto again = make();
  EXPECT_EQ(again->value(setting::popupPadding), FloatingWindowPadding::large);
  EXPECT_EQ(again->value(setting::appLanguage), AppLanguage::french);
  EXPECT_FALSE(again->value(setting::soundEffectEnabled));
  EXPECT_FALSE(again->value(setting::sideBarVisible));
  EXPECT_TRUE(again->value(setting::onboardingPresented));
}

TEST_F(UserSettingsTest, ObserversFindTheNewValueAlreadyStored) {
  m_settings = make();
  struct Case {
    std::string_view notification;
    std::string_view key;
    std::function<void()> set;
    nlohmann::json stored;
  };
  const Case cases[] = {
      {notification_names::kAppLanguageChanged, setting::appLanguage.key,
       [&] { m_settings->setValue(setting::appLanguage, AppLanguage::german); }, "de"},
      {notification_names::kFloatingWindowPositionDidChanged, setting::popupPosition.key,
       [&] { m_settings->setValue(setting::popupPosition, PopupPosition::top); }, 2},
      {notification_names::kFloatingWindowSizeDidChanged, setting::floatingWindowSize.key,
       [&] { m_settings->setValue(setting::floatingWindowSize, FloatingWindowSize::large); }, 3},
      {notification_names::kFloatingWindowSizeDidChanged, setting::popupPadding.key,
       [&] { m_settings->setValue(setting::popupPadding, FloatingWindowPadding::ultraWide); }, 5},
      {notification_names::kOverlayVisibilityChanged, setting::overlayIconVisible.key,
       [&] { m_settings->setValue(setting::overlayIconVisible, false); }, 1},
      {notification_names::kMenuBarVisibilityChanged, setting::menuBarVisible.key,
       [&] { m_settings->setValue(setting::menuBarVisible, false); }, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.key));
    std::optional<nlohmann::json> seen;
    auto token =
        m_center.addObserver(std::string(c.notification), [&](const platform::Notification&) {
          if (!seen) seen = m_defaults.object(c.key);
        });
    c.set();
    ASSERT_TRUE(seen.has_value());
    EXPECT_EQ(*seen, c.stored);
  }
}

TEST_F(UserSettingsTest, AChangeIsSignalledOnceStoredAndBeforeItsNotification) {
  m_settings = make();
  std::vector<std::string> events;
  QObject::connect(m_settings.get(), &UserSettings::valueChanged, [&](std::string_view key) {
    events.push_back(std::string(key) + " " + m_defaults.object(key).value_or(nullptr).dump());
  });
  for (std::string_view name : notification_names::all()) {
    m_tokens.push_back(m_center.addObserver(
        std::string(name),
        [&](const platform::Notification& n) { events.push_back("posted " + n.name); }));
  }
  struct Case {
    const char* name;
    std::function<void()> set;
    std::vector<std::string> events;
  };
  const Case cases[] = {
      {"tray icon off",
       [&] { m_settings->setValue(setting::menuBarVisible, false); },
       {"menuBarVisible 1", "overlayIconVisible 0", "posted overlayVisibilityChanged",
        "posted menuBarVisibilityChanged"}},
      {"the language in force",
       [&] { m_settings->setValue(setting::appLanguage, AppLanguage::system); },
       {"appLanguage null"}},
      {"another language",
       [&] { m_settings->setValue(setting::appLanguage, AppLanguage::french); },
       {"appLanguage \"fr\"", "posted appLanguageChanged"}},
      {"the edge in force",
       [&] { m_settings->setValue(setting::popupPosition, PopupPosition::right); },
       {"popupWindowPosition 0", "posted floatingWindowPositionDidChanged"}},
      {"the conversation list as it is",
       [&] { m_settings->setValue(setting::sideBarVisible, true); },
       {}},
      {"the conversation list hidden",
       [&] { m_settings->setValue(setting::sideBarVisible, false); },
       {"sideBarVisible 1"}},
      {"the default model",
       [&] { m_settings->setValue(setting::openAiModel, ChatGPTModels::gpt35); },
       {"open-ai-model \"gpt35\""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    events.clear();
    c.set();
    EXPECT_EQ(events, c.events);
  }
}

TEST_F(UserSettingsTest, AnObserverHearsItsOwnSettingWhileItLives) {
  m_settings = make();
  struct Receiver : QObject {
    void moveTo(PopupPosition position) { positions.push_back(position); }
    void resize() { ++sizes; }
    std::vector<PopupPosition> positions;
    int sizes = 0;
  };
  auto receiver = std::make_unique<Receiver>();
  std::vector<bool> sounds;
  int soundCalls = 0;
  m_settings->onValueChanged(setting::popupPosition, receiver.get(), &Receiver::moveTo);
  m_settings->onValueChanged(setting::floatingWindowSize, receiver.get(), &Receiver::resize);
  m_settings->onValueChanged(setting::soundEffectEnabled, receiver.get(),
                             [&](bool on) { sounds.push_back(on); });
  m_settings->onValueChanged(setting::soundEffectEnabled, receiver.get(), [&] { ++soundCalls; });

  m_settings->setValue(setting::popupPosition, PopupPosition::left);
  m_settings->setValue(setting::soundEffectEnabled, false);
  m_settings->setValue(setting::popupPadding, FloatingWindowPadding::large);
  EXPECT_EQ(receiver->positions, std::vector{PopupPosition::left});
  EXPECT_EQ(receiver->sizes, 0);
  EXPECT_EQ(sounds, std::vector{false});
  EXPECT_EQ(soundCalls, 1);

  receiver.reset();
  m_settings->setValue(setting::soundEffectEnabled, true);
  EXPECT_EQ(sounds, std::vector{false});
}

TEST_F(UserSettingsTest, ApiKeyIsReadFromTheKeyring) {
  ASSERT_TRUE(m_keychain.set("sk-stored", UserSettings::kOpenAiKeyItem));
  m_settings = make();
  std::vector<std::string> seen;
  QObject::connect(m_settings.get(), &UserSettings::openAiKeyChanged,
                   [&](const std::string& key) { seen.push_back(key); });
  EXPECT_EQ(m_settings->openAiKey(), "");
  waitForLoad(*m_settings);
  EXPECT_EQ(m_settings->openAiKey(), "sk-stored");
  EXPECT_EQ(seen, (std::vector<std::string>{"sk-stored"}));
  EXPECT_EQ(m_settings->keychainError(), std::nullopt);
  EXPECT_EQ(storedKey(), "sk-stored");
}

TEST_F(UserSettingsTest, ApiKeyChangesReachTheKeyringInOrder) {
  m_settings = make();
  waitForLoad(*m_settings);
  EXPECT_EQ(m_settings->openAiKey(), "");

  m_settings->setOpenAiKey("sk-one");
  m_settings->setOpenAiKey("sk-two");
  m_settings->setOpenAiKey("sk-three");
  m_settings.reset();  // waits for the saves asked for
  EXPECT_EQ(storedKey(), "sk-three");

  m_settings = make();
  waitForLoad(*m_settings);
  EXPECT_EQ(m_settings->openAiKey(), "sk-three");
  m_settings->setOpenAiKey("");
  m_settings.reset();
  EXPECT_EQ(storedKey(), std::nullopt);
}

TEST_F(UserSettingsTest, KeyTypedBeforeTheLoadIsKeptAndSaved) {
  ASSERT_TRUE(m_keychain.set("sk-old", UserSettings::kOpenAiKeyItem));
  m_settings = make();
  // The stored key is not handed back until the main queue runs.
  m_settings->setOpenAiKey("sk-typed");
  waitForLoad(*m_settings);
  EXPECT_EQ(m_settings->openAiKey(), "sk-typed");
  m_settings.reset();
  EXPECT_EQ(storedKey(), "sk-typed");
}

TEST_F(UserSettingsTest, KeyTypedAndClearedBeforeTheLoadKeepsTheStoredKey) {
  ASSERT_TRUE(m_keychain.set("sk-old", UserSettings::kOpenAiKeyItem));
  m_settings = make();
  m_settings->setOpenAiKey("sk-half");
  m_settings->setOpenAiKey("");
  waitForLoad(*m_settings);
  EXPECT_EQ(m_settings->openAiKey(), "sk-old");
  m_settings.reset();
  EXPECT_EQ(storedKey(), "sk-old");
}

TEST_F(UserSettingsTest, SameKeyWritesNothing) {
  m_settings = make();
  waitForLoad(*m_settings);
  m_settings->setOpenAiKey("sk-a");
  m_settings.reset();
  ASSERT_EQ(storedKey(), "sk-a");
  // Changed behind the object's back: setting the same text must not write it again.
  m_settings = make();
  waitForLoad(*m_settings);
  ASSERT_TRUE(m_keychain.set("sk-elsewhere", UserSettings::kOpenAiKeyItem));
  m_settings->setOpenAiKey("sk-a");
  m_settings.reset();
  EXPECT_EQ(storedKey(), "sk-elsewhere");
}

}  // namespace
}  // namespace tessra

namespace tessra {
namespace {

TEST_F(UserSettingsTest, AFailedSettingsWriteIsShownUntilAWriteSucceeds) {
  m_dir.write("blocker", "a file where the settings folder should be");
  UserDefaults defaults(m_dir / "blocker" / "defaults.json");
  auto settings = std::make_unique<UserSettings>(defaults, m_keychain, m_center, m_mainQueue);
  int errorSignals = 0;
  QObject::connect(settings.get(), &UserSettings::writeErrorChanged, [&] { ++errorSignals; });

  settings->setValue(setting::sideBarVisible, false);
  ASSERT_TRUE(settings->writeError().has_value());
  EXPECT_FALSE(settings->writeError()->empty());
  EXPECT_FALSE(settings->value(setting::sideBarVisible)) << "the value is kept in memory";
  settings->setValue(setting::soundEffectEnabled, false);
  settings->setValue(setting::onboardingPresented, true);
  settings->setValue(setting::popupPadding, FloatingWindowPadding::large);
  EXPECT_EQ(errorSignals, 1) << "the same failure is told once";

  std::filesystem::remove(m_dir / "blocker");
  settings->setValue(setting::popupPadding, FloatingWindowPadding::small);
  EXPECT_EQ(settings->writeError(), std::nullopt);
  EXPECT_EQ(errorSignals, 2);
  waitForLoad(*settings);
}

TEST_F(UserSettingsTest, KeyringFailuresAreShownNotSwallowed) {
  // Access control has no meaning on the login keyring: storing with it fails.
  const keychain::Keychain failing = m_keychain.accessibility(
      keychain::Accessibility::whenUnlocked, keychain::AuthenticationPolicy::userPresence());
  auto settings = std::make_unique<UserSettings>(m_defaults, failing, m_center, m_mainQueue);
  int errorSignals = 0;
  QObject::connect(settings.get(), &UserSettings::keychainErrorChanged, [&] { ++errorSignals; });
  waitForLoad(*settings);
  EXPECT_EQ(settings->keychainError(), std::nullopt);

  settings->setOpenAiKey("sk-unsaved");
  ASSERT_TRUE(
      storage_test::waitUntil([&] { return settings->keychainError().has_value(); },
                              [&] { m_mainQueue.drainFor(std::chrono::milliseconds(50)); }));
  EXPECT_FALSE(settings->keychainError()->empty());
  EXPECT_EQ(errorSignals, 1);
  // The typed key stays in memory, and nothing reached the keyring.
  EXPECT_EQ(settings->openAiKey(), "sk-unsaved");
  settings.reset();
  EXPECT_EQ(storedKey(), std::nullopt);
}

}  // namespace
}  // namespace tessra

namespace tessra {
namespace {

TEST_F(UserSettingsTest, KeySaveReportsTheKeyringsOutcome) {
  const keychain::Keychain failing = m_keychain.accessibility(
      keychain::Accessibility::whenUnlocked, keychain::AuthenticationPolicy::userPresence());
  struct Case {
    const char* name;
    bool beforeLoad;
    bool failingKeyring;
    std::optional<std::string> storedBefore;
  };
  const Case cases[] = {
      {"after the load", false, false, std::nullopt},
      {"before the load", true, false, std::nullopt},
      {"the same key again", false, false, "sk-report"},
      {"a refusing keyring", false, true, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    (void)m_keychain.remove(UserSettings::kOpenAiKeyItem);
    if (c.storedBefore) {
      ASSERT_TRUE(m_keychain.set(*c.storedBefore, UserSettings::kOpenAiKeyItem));
    }
    auto settings = std::make_unique<UserSettings>(
        m_defaults, c.failingKeyring ? failing : m_keychain, m_center, m_mainQueue);
    if (!c.beforeLoad) waitForLoad(*settings);
    std::optional<Result<void>> outcome;
    std::optional<std::string> storedAtReport;
    settings->setOpenAiKey("sk-report", [&](Result<void> saved) {
      outcome = std::move(saved);
      storedAtReport = storedKey();
    });
    ASSERT_TRUE(
        storage_test::waitUntil([&] { return outcome.has_value(); },
                                [&] { m_mainQueue.drainFor(std::chrono::milliseconds(50)); }));
    if (c.failingKeyring) {
      ASSERT_FALSE(outcome->has_value());
      EXPECT_EQ(describe(outcome->error()), *settings->keychainError());
      EXPECT_EQ(storedAtReport, std::nullopt);
    } else {
      EXPECT_TRUE(outcome->has_value());
      EXPECT_EQ(storedAtReport, "sk-report");
    }
  }
}

TEST_F(UserSettingsTest, ASupersededKeySaveReportsWithTheLaterOne) {
  m_settings = make();
  waitForLoad(*m_settings);
  std::vector<std::string> reports;
  m_settings->setOpenAiKey("sk-first", [&](Result<void> saved) {
    reports.push_back(saved ? "first saved, holds " + storedKey().value_or("") : "first failed");
  });
  m_settings->setOpenAiKey("sk-second", [&](Result<void> saved) {
    reports.push_back(saved ? "second saved" : "second failed");
  });
  ASSERT_TRUE(
      storage_test::waitUntil([&] { return reports.size() == 2; },
                              [&] { m_mainQueue.drainFor(std::chrono::milliseconds(50)); }));
  // Either the first write ran before the second was asked for, or the second replaced it.
  EXPECT_TRUE(reports[0] == "first saved, holds sk-second" ||
              reports[0] == "first saved, holds sk-first")
      << reports[0];
  EXPECT_EQ(reports[1], "second saved");
  EXPECT_EQ(storedKey(), "sk-second");
}

}  // namespace
}  // namespace tessra
