#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "Tessra/storage/constants.h"
#include "Tessra/storage/settings_enums.h"
#include "Tessra/storage/settings_keys.h"
#include "Tessra/storage/storage_test_support.h"
#include "Tessra/storage/user_settings.h"
#include "Tessra/ui_foundation/localized_text.h"
#include "testing/temp_dir.h"

namespace tessra {
namespace {

using platform::UserDefaults;
namespace keys = settings_keys;

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

TEST(ConstantsTest, PreviewRunNeedsExactlyOne) {
  for (const char* value : {"true", "0", ""}) {
    ::setenv("XCODE_RUNNING_FOR_PREVIEWS", value, 1);
    EXPECT_FALSE(app_environment::isRunningForPreviews()) << value;
  }
  ::setenv("XCODE_RUNNING_FOR_PREVIEWS", "1", 1);
  EXPECT_TRUE(app_environment::isRunningForPreviews());
  ::unsetenv("XCODE_RUNNING_FOR_PREVIEWS");
  EXPECT_FALSE(app_environment::isRunningForPreviews());
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
      {keys::kFloatingWindowSize, 6,
       [&] { return keys::floatingWindowSize(m_defaults) == FloatingWindowSize::medium; }},
      {keys::kFloatingWindowSize, -1,
       [&] { return keys::floatingWindowSize(m_defaults) == FloatingWindowSize::medium; }},
      {keys::kFloatingWindowSize, 4,
       [&] { return keys::floatingWindowSize(m_defaults) == FloatingWindowSize::extraLarge; }},
      {keys::kPopupWindowPosition, 7,
       [&] { return keys::popupWindowPosition(m_defaults) == PopupPosition::right; }},
      {keys::kPopupWindowPosition, 2,
       [&] { return keys::popupWindowPosition(m_defaults) == PopupPosition::top; }},
      {keys::kPopupPadding, 9,
       [&] { return keys::popupPadding(m_defaults) == FloatingWindowPadding::none; }},
      {keys::kMenuBarVisible, 2, [&] { return !keys::menuBarVisible(m_defaults); }},
      {keys::kMenuBarVisible, "0", [&] { return keys::menuBarVisible(m_defaults); }},
      {keys::kOpenAIModel, "gpt-4o",
       [&] { return keys::openAIModel(m_defaults) == ChatGPTModels::gpt4; }},
      {keys::kOpenAIModel, "gpt35",
       [&] { return keys::openAIModel(m_defaults) == ChatGPTModels::gpt35; }},
      {keys::kAppLanguage, "EN",
       [&] { return keys::appLanguage(m_defaults) == AppLanguage::system; }},
      {keys::kAppLanguage, "pt-BR",
       [&] { return keys::appLanguage(m_defaults) == AppLanguage::brazilianPortuguese; }},
      {keys::kOpenAICustomHost, "http://h",
       [&] { return keys::openAICustomHost(m_defaults) == "http://h"; }},
      {keys::kOnboardingPresented, true, [&] { return keys::onboardingPresented(m_defaults); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.key) + " = " + c.stored.dump());
    ASSERT_TRUE(m_defaults.set(c.key, c.stored).has_value());
    EXPECT_TRUE(c.holds());
  }
}

TEST_F(SettingsKeysTest, WritesStoreTheTableForm) {
  ASSERT_TRUE(keys::setMenuBarVisible(true, m_defaults));
  EXPECT_EQ(m_defaults.integer(keys::kMenuBarVisible), 0);
  ASSERT_TRUE(keys::setSideBarVisible(false, m_defaults));
  EXPECT_EQ(m_defaults.integer(keys::kSideBarVisible), 1);
  ASSERT_TRUE(keys::setOpenAIModel(ChatGPTModels::gpt4turbo, m_defaults));
  EXPECT_EQ(m_defaults.string(keys::kOpenAIModel), "gpt4turbo");
  ASSERT_TRUE(keys::setFloatingWindowSize(FloatingWindowSize::ultraWide, m_defaults));
  EXPECT_EQ(m_defaults.integer(keys::kFloatingWindowSize), 5);
  ASSERT_TRUE(keys::setAppLanguage(AppLanguage::japanese, m_defaults));
  EXPECT_EQ(m_defaults.string(keys::kAppLanguage), "ja");
  ASSERT_TRUE(keys::setOnboardingPresented(true, m_defaults));
  EXPECT_EQ(m_defaults.boolean(keys::kOnboardingPresented), true);
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
  ASSERT_TRUE(keys::setPopupWindowPosition(PopupPosition::bottom, m_defaults));
  ASSERT_TRUE(keys::setMenuBarVisible(false, m_defaults));
  ASSERT_TRUE(m_defaults.set(keys::kFloatingWindowSize, 17));
  m_settings = make();
  EXPECT_EQ(m_settings->popupPosition(), PopupPosition::bottom);
  EXPECT_FALSE(m_settings->menuBarVisible());
  EXPECT_EQ(m_settings->floatingWindowSize(), FloatingWindowSize::medium);
  EXPECT_EQ(m_settings->appLanguage(), AppLanguage::system);
  EXPECT_EQ(m_settings->chosenLanguage(), std::nullopt);
  EXPECT_FALSE(m_settings->loaded());
  EXPECT_EQ(m_settings->openAiKey(), "");
  EXPECT_TRUE(m_posted.empty());
}

TEST_F(UserSettingsTest, HidingTheTrayIconTurnsTheSideButtonOn) {
  ASSERT_TRUE(keys::setOverlayIconVisible(false, m_defaults));
  m_settings = make();
  m_settings->setMenuBarVisible(false);
  EXPECT_EQ(m_posted,
            (std::vector<std::string>{"overlayVisibilityChanged", "menuBarVisibilityChanged"}));
  EXPECT_EQ(m_defaults.integer(keys::kOverlayIconVisible), 0);
  EXPECT_EQ(m_defaults.integer(keys::kMenuBarVisible), 1);
  EXPECT_FALSE(m_settings->menuBarVisible());
  EXPECT_TRUE(m_settings->overlayIconVisible());

  m_posted.clear();
  m_settings->setMenuBarVisible(true);
  EXPECT_EQ(m_posted, (std::vector<std::string>{"menuBarVisibilityChanged"}));
  EXPECT_EQ(m_defaults.integer(keys::kMenuBarVisible), 0);
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
       [&] { m_settings->setAppLanguage(AppLanguage::system); },
       {},
       [&] { return !m_defaults.object(keys::kAppLanguage).has_value(); }},
      {"new language",
       [&] { m_settings->setAppLanguage(AppLanguage::french); },
       {"appLanguageChanged"},
       [&] { return m_defaults.string(keys::kAppLanguage) == "fr"; }},
      {"same position",
       [&] { m_settings->setPopupPosition(PopupPosition::right); },
       {"floatingWindowPositionDidChanged"},
       [&] { return m_defaults.integer(keys::kPopupWindowPosition) == 0; }},
      {"padding",
       [&] { m_settings->setPopupPadding(FloatingWindowPadding::large); },
       {"floatingWindowSizeDidChanged"},
       [&] { return m_defaults.integer(keys::kPopupPadding) == 3; }},
      {"size",
       [&] { m_settings->setFloatingWindowSize(FloatingWindowSize::small); },
       {"floatingWindowSizeDidChanged"},
       [&] { return m_defaults.integer(keys::kFloatingWindowSize) == 1; }},
      {"sound",
       [&] { m_settings->setSoundEffectEnabled(false); },
       {},
       [&] { return m_defaults.integer(keys::kSoundEffects) == 1; }},
      {"side button",
       [&] { m_settings->setOverlayIconVisible(false); },
       {"overlayVisibilityChanged"},
       [&] { return m_defaults.integer(keys::kOverlayIconVisible) == 1; }},
      {"conversation list",
       [&] { m_settings->setSideBarVisible(false); },
       {},
       [&] { return m_defaults.integer(keys::kSideBarVisible) == 1; }},
      {"onboarding",
       [&] { m_settings->setOnboardingPresented(true); },
       {},
       [&] { return m_defaults.boolean(keys::kOnboardingPresented) == true; }},
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
  EXPECT_EQ(again->popupPadding(), FloatingWindowPadding::large);
  EXPECT_EQ(again->appLanguage(), AppLanguage::french);
  EXPECT_FALSE(again->soundEffectEnabled());
  EXPECT_FALSE(again->sideBarVisible());
  EXPECT_TRUE(again->onboardingPresented());
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
      {notification_names::kAppLanguageChanged, keys::kAppLanguage,
       [&] { m_settings->setAppLanguage(AppLanguage::german); }, "de"},
      {notification_names::kFloatingWindowPositionDidChanged, keys::kPopupWindowPosition,
       [&] { m_settings->setPopupPosition(PopupPosition::top); }, 2},
      {notification_names::kFloatingWindowSizeDidChanged, keys::kFloatingWindowSize,
       [&] { m_settings->setFloatingWindowSize(FloatingWindowSize::large); }, 3},
      {notification_names::kFloatingWindowSizeDidChanged, keys::kPopupPadding,
       [&] { m_settings->setPopupPadding(FloatingWindowPadding::ultraWide); }, 5},
      {notification_names::kOverlayVisibilityChanged, keys::kOverlayIconVisible,
       [&] { m_settings->setOverlayIconVisible(false); }, 1},
      {notification_names::kMenuBarVisibilityChanged, keys::kMenuBarVisible,
       [&] { m_settings->setMenuBarVisible(false); }, 1},
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

  settings->setSideBarVisible(false);
  ASSERT_TRUE(settings->writeError().has_value());
  EXPECT_FALSE(settings->writeError()->empty());
  EXPECT_FALSE(settings->sideBarVisible()) << "the value is kept in memory";
  settings->setSoundEffectEnabled(false);
  settings->setOnboardingPresented(true);
  settings->setPopupPadding(FloatingWindowPadding::large);
  EXPECT_EQ(errorSignals, 1) << "the same failure is told once";

  std::filesystem::remove(m_dir / "blocker");
  settings->setPopupPadding(FloatingWindowPadding::small);
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
