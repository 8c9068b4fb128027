// The stored form of shortcuts, names and their defaults, and how keys read on real layouts.
#include "shortcuts/shortcut.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "platform/foundation/notification_center.h"
#include "platform/foundation/user_defaults.h"
#include "platform/ui/keyboard_layout.h"
#include "shortcuts/global_shortcuts.h"
#include "shortcuts/name.h"
#include "testing/scoped_env.h"
#include "testing/temp_dir.h"

namespace tessra::shortcuts {
namespace {

using platform::KeyboardLayout;

// Storage tests run without a display, so nothing is grabbed on the session's shared one.
class StoredShortcuts : public ::testing::Test {
 protected:
  testing::TempDir m_config;
  testing::ScopedEnv m_configDir{"TESSRA_CONFIG_DIR", m_config.path().string()};
  testing::ScopedEnv m_noDisplay{"DISPLAY", nullptr};

  platform::UserDefaults& defaults() { return platform::UserDefaults::standard(); }

  // Names of the change notifications posted while `body` runs.
  template <class Body>
  std::vector<std::string> changesDuring(Body body) {
    std::vector<std::string> names;
    auto token = platform::NotificationCenter::defaultCenter().addObserver(
        GlobalShortcuts::kShortcutByNameDidChange, [&](const platform::Notification& n) {
          names.push_back(std::any_cast<Name>(n.object).rawValue);
          EXPECT_EQ(n.payload.at("name"), names.back());
        });
    body();
    return names;
  }
};

TEST_F(StoredShortcuts, WritesMembersInOrderAndReadsEitherOrder) {
  EXPECT_EQ(encodeShortcut(Shortcut(Key::space, Qt::AltModifier)),
            R"({"carbonKeyCode":49,"carbonModifiers":2048})");
  const struct {
    const char* text;
    std::optional<Shortcut> expected;
  } cases[] = {
      {R"({"carbonKeyCode":49,"carbonModifiers":2048})", Shortcut(49, 2048)},
      {R"({"carbonModifiers":4352, "carbonKeyCode":40})", Shortcut(40, 4352)},
      {R"({"carbonKeyCode":49,"carbonModifiers":2048,"extra":1})", Shortcut(49, 2048)},
      {R"({"carbonKeyCode":49})", std::nullopt},
      {R"({"carbonKeyCode":49.5,"carbonModifiers":2048})", std::nullopt},
      {R"({"carbonKeyCode":"49","carbonModifiers":2048})", std::nullopt},
      {R"(false)", std::nullopt},
      {R"([49,2048])", std::nullopt},
      {R"(not json)", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(decodeShortcut(c.text), c.expected) << c.text;
}

TEST_F(StoredShortcuts, StoredValuesOfOtherKindsReadAsAbsent) {
  const Name name("storedKinds");
  const std::vector<nlohmann::json> values{false, 49, R"({"carbonKeyCode":49})", "[]",
                                           nlohmann::json::object()};
  for (const auto& value : values) {
    ASSERT_TRUE(defaults().set(GlobalShortcuts::defaultsKey(name), value));
    EXPECT_EQ(name.shortcut(), std::nullopt) << value.dump();
  }
}

TEST_F(StoredShortcuts, NormalisesModifiersToTheFourBits) {
  EXPECT_EQ(Shortcut(0, 0x100 | 0x10000 | 0x4).carbonModifiers, 0x100);
  EXPECT_EQ(Shortcut(Key::k, Qt::ControlModifier | Qt::KeypadModifier).carbonModifiers, 0x1000);
  EXPECT_EQ(Shortcut(Key::k, Qt::MetaModifier | Qt::ShiftModifier).modifiers(),
            Qt::MetaModifier | Qt::ShiftModifier);
}

TEST_F(StoredShortcuts, DefaultIsStoredOnceAndAClearedNameStaysCleared) {
  const Shortcut altSpace(Key::space, Qt::AltModifier);
  std::vector<std::string> posted = changesDuring([&] { Name("withDefault", altSpace); });
  EXPECT_EQ(posted, std::vector<std::string>{"withDefault"});
  const Name name("withDefault", altSpace);
  EXPECT_EQ(name.shortcut(), altSpace);

  posted = changesDuring([&] { name.setShortcut(std::nullopt); });
  EXPECT_EQ(posted, std::vector<std::string>{"withDefault"});
  EXPECT_EQ(defaults().object(GlobalShortcuts::defaultsKey(name)), nlohmann::json(false));

  // As at the next start: the name is made again and keeps no shortcut.
  posted =
      changesDuring([&] { EXPECT_EQ(Name("withDefault", altSpace).shortcut(), std::nullopt); });
  EXPECT_TRUE(posted.empty());
}

TEST_F(StoredShortcuts, ClearingANameWithoutDefaultRemovesItsKeyAndClearingNothingPostsNothing) {
  const Name name("noDefault");
  EXPECT_TRUE(changesDuring([&] { name.setShortcut(std::nullopt); }).empty());
  name.setShortcut(Shortcut(Key::k, Qt::ControlModifier | Qt::AltModifier));
  EXPECT_EQ(*defaults().string(GlobalShortcuts::defaultsKey(name)),
            R"({"carbonKeyCode":40,"carbonModifiers":6144})");
  EXPECT_EQ(changesDuring([&] { name.setShortcut(std::nullopt); }),
            std::vector<std::string>{"noDefault"});
  EXPECT_FALSE(defaults().object(GlobalShortcuts::defaultsKey(name)));
}

TEST_F(StoredShortcuts, StoringTheSameShortcutPostsAgainAndResetRestoresDefaults) {
  const Shortcut f5(Key::f5, Qt::NoModifier);
  const Name withDefault("resetWithDefault", f5);
  const Name without("resetWithout");
  withDefault.setShortcut(Shortcut(Key::f6, Qt::NoModifier));
  without.setShortcut(f5);
  EXPECT_EQ(changesDuring([&] { without.setShortcut(f5); }),
            std::vector<std::string>{"resetWithout"});
  GlobalShortcuts::resetShortcuts({withDefault, without});
  EXPECT_EQ(withDefault.shortcut(), f5);
  EXPECT_EQ(without.shortcut(), std::nullopt);
}

TEST(ShortcutNames, CompareByTextAlone) {
  testing::ScopedEnv noDisplay("DISPLAY", nullptr);
  const Name a("same");
  const Name b("same");
  EXPECT_EQ(a, b);
  EXPECT_EQ(std::hash<Name>()(a), std::hash<Name>()(b));
  EXPECT_EQ(Key(49), Key::space);
  EXPECT_EQ(Key(10).rawValue, 10);
}

class Layouts : public ::testing::TestWithParam<const char*> {};

TEST_P(Layouts, EveryKeyButFunctionResolvesToItsOwnKeyCode) {
  const auto layout = KeyboardLayout::fromNames(GetParam());
  ASSERT_TRUE(layout);
  std::set<std::uint32_t> codes;
  for (const Key& key : Key::all()) {
    const auto name = xkbKeyName(key);
    if (key == Key::function) {
      EXPECT_FALSE(name);
      continue;
    }
    ASSERT_TRUE(name) << key.rawValue;
    const auto code = layout->keycode(*name);
    ASSERT_TRUE(code) << *name;
    EXPECT_TRUE(codes.insert(*code).second) << *name << " shares key code " << *code;
    EXPECT_EQ(keyForKeycode(*code, *layout), key) << *name;
  }
  EXPECT_EQ(codes.size(), 112u);
}

TEST_P(Layouts, TableKeysKeepTheirTexts) {
  const auto layout = KeyboardLayout::fromNames(GetParam());
  ASSERT_TRUE(layout);
  const struct {
    Shortcut shortcut;
    const char* description;
  } cases[] = {
      {Shortcut(Key::space, Qt::AltModifier), "Alt+Space"},
      {Shortcut(Key::return_, Qt::ControlModifier), "Ctrl+\u21A9"},
      {Shortcut(Key::f5, Qt::NoModifier), "F5"},
      {Shortcut(Key::keypad5, Qt::MetaModifier), "Super+5\u20E3"},
      {Shortcut(Key::leftArrow,
                Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier | Qt::MetaModifier),
       "Ctrl+Alt+Shift+Super+\u2190"},
      {Shortcut(Key::function, Qt::ControlModifier), "Ctrl+\uFFFD"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.shortcut.description(layout.get()), c.description);
}

INSTANTIATE_TEST_SUITE_P(UsFrDe, Layouts, ::testing::Values("us", "fr", "de"));

TEST(LayoutTexts, LettersReadAsTheLayoutTypesThem) {
  const struct {
    const char* layout;
    Key key;
    const char* character;
    const char* description;
  } cases[] = {
      {"us", Key::a, "a", "Ctrl+Alt+A"},
      {"fr", Key::a, "q", "Ctrl+Alt+Q"},
      {"de", Key::y, "z", "Ctrl+Alt+Z"},
      {"fr", Key::one, "&", "Ctrl+Alt+&"},
      {"de", Key::semicolon, "\u00F6", "Ctrl+Alt+\u00D6"},
      // A Cyrillic-first setup names keys by its Latin layout.
      {"ru,us", Key::k, "k", "Ctrl+Alt+K"},
  };
  for (const auto& c : cases) {
    const auto layout = KeyboardLayout::fromNames(c.layout);
    ASSERT_TRUE(layout) << c.layout;
    const Shortcut shortcut(c.key, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(shortcut.keyToCharacter(layout.get()), c.character) << c.layout;
    EXPECT_EQ(shortcut.description(layout.get()), c.description) << c.layout;
  }
}

}  // namespace
}  // namespace tessra::shortcuts
