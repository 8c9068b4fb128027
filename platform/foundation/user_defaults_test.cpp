#include "platform/foundation/user_defaults.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/foundation/json.h"
#include "platform/foundation/logger.h"
#include "testing/log_capture.h"
#include "testing/scoped_env.h"
#include "testing/temp_dir.h"

namespace tessra::platform {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using testing::TempDir;

using testing::LogCapture;

using testing::ScopedEnv;

std::vector<fs::path> filesIn(const fs::path& folder) {
  std::vector<fs::path> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(UserDefaultsTest, ValuesSurviveInANewInstanceOnTheSameFile) {
  TempDir dir;
  const fs::path file = dir / "TessraAI/defaults.json";
  {
    UserDefaults defaults(file);
    ASSERT_TRUE(defaults.set("appLanguage", "zh-Hans"));
    ASSERT_TRUE(defaults.set("window-size", 3));
    ASSERT_TRUE(defaults.set("onboardingPresented", true));
    ASSERT_TRUE(defaults.set("ratio", 0.25));
    ASSERT_TRUE(defaults.set("recent", json::array({"a", "b"})));
    ASSERT_TRUE(defaults.set("geometry", {{"x", 1}, {"y", -2}}));
    ASSERT_TRUE(defaults.set("temporary", 1));
    ASSERT_TRUE(defaults.removeObject("temporary"));
  }
  UserDefaults reread(file);
  EXPECT_EQ(reread.string("appLanguage"), "zh-Hans");
  EXPECT_EQ(reread.integer("window-size"), 3);
  EXPECT_EQ(reread.boolean("onboardingPresented"), true);
  EXPECT_EQ(reread.real("ratio"), 0.25);
  EXPECT_EQ(reread.array("recent"), json::array({"a", "b"}));
  EXPECT_EQ(reread.dictionary("geometry"), (json{{"x", 1}, {"y", -2}}));
  EXPECT_EQ(reread.object("temporary"), std::nullopt);

  struct stat info {};
  ASSERT_EQ(stat(file.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  EXPECT_EQ(parseJson(dir.read("TessraAI/defaults.json")).size(), 6u);
  EXPECT_EQ(filesIn(file.parent_path()), std::vector<fs::path>{"defaults.json"});
}

TEST(UserDefaultsTest, AValueOfAnotherTypeReadsAsAbsent) {
  TempDir dir;
  UserDefaults defaults(dir / "defaults.json");
  struct Case {
    json stored;
    std::optional<std::string> text;
    std::optional<std::int64_t> integer;
    std::optional<bool> flag;
    std::optional<double> real;
  };
  const std::vector<Case> cases = {
      {"1", "1", std::nullopt, std::nullopt, std::nullopt},
      {7, std::nullopt, 7, std::nullopt, 7.0},
      {-7, std::nullopt, -7, std::nullopt, -7.0},
      {2.5, std::nullopt, std::nullopt, std::nullopt, 2.5},
      {3.0, std::nullopt, 3, std::nullopt, 3.0},
      {true, std::nullopt, std::nullopt, true, std::nullopt},
      {false, std::nullopt, std::nullopt, false, std::nullopt},
      {std::numeric_limits<std::uint64_t>::max(), std::nullopt, std::nullopt, std::nullopt,
       static_cast<double>(std::numeric_limits<std::uint64_t>::max())},
      {1e300, std::nullopt, std::nullopt, std::nullopt, 1e300},
      {json::array({1}), std::nullopt, std::nullopt, std::nullopt, std::nullopt},
      {json::object(), std::nullopt, std::nullopt, std::nullopt, std::nullopt},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(defaults.set("key", c.stored));
    UserDefaults reread(defaults.path());
    for (const UserDefaults* instance : {&defaults, &reread}) {
      const std::string where = c.stored.dump() + (instance == &defaults ? " (memory)" : " (file)");
      EXPECT_EQ(instance->string("key"), c.text) << where;
      EXPECT_EQ(instance->integer("key"), c.integer) << where;
      EXPECT_EQ(instance->boolean("key"), c.flag) << where;
      EXPECT_EQ(instance->real("key"), c.real) << where;
      EXPECT_EQ(instance->array("key").has_value(), c.stored.is_array()) << where;
      EXPECT_EQ(instance->dictionary("key").has_value(), c.stored.is_object()) << where;
    }
  }
  EXPECT_EQ(defaults.string("absent"), std::nullopt);
  EXPECT_EQ(defaults.integer("absent"), std::nullopt);
  EXPECT_EQ(defaults.object("absent"), std::nullopt);
}

TEST(UserDefaultsTest, SettingNullRemovesTheKey) {
  TempDir dir;
  UserDefaults defaults(dir / "defaults.json");
  ASSERT_TRUE(defaults.set("a", 1));
  ASSERT_TRUE(defaults.set("a", nullptr));
  EXPECT_EQ(defaults.object("a"), std::nullopt);
  EXPECT_EQ(dir.read("defaults.json"), "{}");
}

TEST(UserDefaultsTest, AnUnreadableFileIsMovedAsideByteForByte) {
  const std::vector<std::string> contents = {
      "{\"appLanguage\": \"fr\"",  // cut short
      "[1, 2]",                    // not an object
      "",                          // empty
      "{\"a\": \"\xff\xfe\"}",     // not UTF-8
      "{\"a\": 1} {\"b\": 2}",     // two documents
      // nested so deep that writing it back would recurse past the stack
      "{\"a\":" + std::string(20000, '[') + std::string(20000, ']') + "}",
  };
  for (const std::string& content : contents) {
    TempDir dir;
    dir.write("defaults.json", content);
    LogCapture log;
    {
      UserDefaults defaults(dir / "defaults.json");
      EXPECT_EQ(defaults.object("a"), std::nullopt) << content;
      EXPECT_EQ(defaults.object("appLanguage"), std::nullopt) << content;
      ASSERT_TRUE(defaults.set("fresh", 1)) << content;
    }
    const auto names = filesIn(dir.path());
    ASSERT_EQ(names.size(), 2u) << content;
    EXPECT_EQ(names[0], "defaults.json");
    const std::string aside = names[1].string();
    EXPECT_TRUE(aside.starts_with("defaults.json.unreadable-")) << aside;
    EXPECT_EQ(dir.read(aside), content);
    EXPECT_EQ(dir.read("defaults.json"), "{\"fresh\":1}");
    EXPECT_NE(log.all().find((dir / "defaults.json").string()), std::string::npos) << log.all();
    EXPECT_NE(log.all().find(aside), std::string::npos) << log.all();
  }
}

TEST(UserDefaultsTest, TemporaryFilesOfSavesCutShortAreRemovedOnFirstUse) {
  TempDir dir;
  dir.write("defaults.json", "{\"a\":1}");
  dir.write(".defaults.json.tmp-k9Q2xA", "{\"a\":");
  UserDefaults defaults(dir / "defaults.json");
  EXPECT_EQ(defaults.object("a"), json(1));
  EXPECT_EQ(filesIn(dir.path()), std::vector<fs::path>{"defaults.json"});
}

TEST(UserDefaultsTest, AnEarlierCopyMovedAsideIsNeverOverwritten) {
  TempDir dir;
  for (const std::string content : {"first bad", "second bad"}) {
    dir.write("defaults.json", content);
    UserDefaults defaults(dir / "defaults.json");
    EXPECT_EQ(defaults.object("x"), std::nullopt);
  }
  std::vector<std::string> kept;
  for (const auto& name : filesIn(dir.path())) kept.push_back(dir.read(name.string()));
  std::sort(kept.begin(), kept.end());
  EXPECT_EQ(kept, (std::vector<std::string>{"first bad", "second bad"}));
}

TEST(UserDefaultsTest, TheFileIsReadOnFirstUseNotAtCreation) {
  TempDir dir;
  UserDefaults early(dir / "defaults.json");
  dir.write("defaults.json", R"({"menuBarVisible":1})");
  EXPECT_EQ(early.integer("menuBarVisible"), 1);
}

TEST(UserDefaultsTest, AFailedWriteIsReportedWithThePathButNotTheValue) {
  TempDir dir;
  dir.write("blocker", "a file where the folder should be");
  const fs::path file = dir / "blocker/defaults.json";
  UserDefaults defaults(file);
  LogCapture log;
  const Result<void> result = defaults.set("secretish", "value-that-must-not-be-logged");
  ASSERT_FALSE(result);
  EXPECT_THROW(std::rethrow_exception(result.error()), UserDefaultsWriteError);
  EXPECT_EQ(describe(result.error()), "Could not save the settings file " + file.string() + ".");
  EXPECT_NE(log.all().find(file.string()), std::string::npos) << log.all();
  EXPECT_EQ(log.all().find("value-that-must-not-be-logged"), std::string::npos) << log.all();
  // The running program keeps the change.
  EXPECT_EQ(defaults.string("secretish"), "value-that-must-not-be-logged");
}

TEST(UserDefaultsTest, ANonFiniteNumberIsRefusedAndChangesNothing) {
  TempDir dir;
  UserDefaults defaults(dir / "defaults.json");
  ASSERT_TRUE(defaults.set("ratio", 0.5));
  for (const double bad : {std::nan(""), std::numeric_limits<double>::infinity()}) {
    const Result<void> result = defaults.set("ratio", bad);
    ASSERT_FALSE(result);
    EXPECT_THROW(std::rethrow_exception(result.error()), JsonEncodingError);
    EXPECT_THROW(std::rethrow_exception(defaults.set("nested", {{"x", bad}}).error()),
                 JsonEncodingError);
  }
  EXPECT_EQ(defaults.real("ratio"), 0.5);
  EXPECT_EQ(defaults.object("nested"), std::nullopt);
  EXPECT_TRUE(defaults.set("other", 1));
  EXPECT_EQ(dir.read("defaults.json"), R"({"other":1,"ratio":0.5})");
}

TEST(UserDefaultsTest, ConcurrentSetsFromManyThreadsAreAllPersisted) {
  TempDir dir;
  UserDefaults defaults(dir / "defaults.json");
  constexpr int kThreads = 8;
  constexpr int kKeys = 25;
  std::vector<std::thread> writers;
  for (int t = 0; t < kThreads; ++t) {
    writers.emplace_back([&, t] {
      for (int k = 0; k < kKeys; ++k) {
        EXPECT_TRUE(defaults.set("t" + std::to_string(t) + "k" + std::to_string(k), t * 100 + k));
      }
    });
  }
  for (std::thread& writer : writers) writer.join();

  UserDefaults reread(defaults.path());
  for (int t = 0; t < kThreads; ++t) {
    for (int k = 0; k < kKeys; ++k) {
      EXPECT_EQ(reread.integer("t" + std::to_string(t) + "k" + std::to_string(k)), t * 100 + k);
    }
  }
  EXPECT_EQ(filesIn(dir.path()), std::vector<fs::path>{"defaults.json"});
}

TEST(UserDefaultsTest, TheConfigurationFolderFollowsTheEnvironment) {
  struct Case {
    const char* tessra;
    const char* xdg;
    const char* home;
    fs::path expected;
  };
  const std::vector<Case> cases = {
      {"/tmp/override", "/x/config", "/home/u", "/tmp/override"},
      {nullptr, "/x/config", "/home/u", "/x/config/TessraAI"},
      {nullptr, "relative/config", "/home/u", "/home/u/.config/TessraAI"},
      {nullptr, "", "/home/u", "/home/u/.config/TessraAI"},
      {nullptr, nullptr, "/home/u", "/home/u/.config/TessraAI"},
  };
  for (const Case& c : cases) {
    ScopedEnv tessra("TESSRA_CONFIG_DIR", c.tessra);
    ScopedEnv xdg("XDG_CONFIG_HOME", c.xdg);
    ScopedEnv home("HOME", c.home);
    EXPECT_EQ(UserDefaults::configDirectory(), c.expected);
  }
}

TEST(UserDefaultsTest, SuitesAreSharedPerNameInTheConfigurationFolder) {
  TempDir dir;
  ScopedEnv tessra("TESSRA_CONFIG_DIR", dir.path().c_str());
  const auto telemetry = UserDefaults::suite("org.tessra.telemetry.abc123");
  ASSERT_TRUE(telemetry);
  EXPECT_EQ(telemetry->path(), dir / "org.tessra.telemetry.abc123.json");
  EXPECT_EQ(UserDefaults::suite("org.tessra.telemetry.abc123"), telemetry);
  EXPECT_NE(UserDefaults::suite("other"), telemetry);

  ASSERT_TRUE(telemetry->set("defaultUserIdentifier", "ID"));
  EXPECT_EQ(UserDefaults::suite("org.tessra.telemetry.abc123")->string("defaultUserIdentifier"),
            "ID");

  for (const std::string& bad :
       std::vector<std::string>{"", ".", "..", "a/b", std::string(300, 'x')}) {
    EXPECT_EQ(UserDefaults::suite(bad), nullptr) << bad;
  }
}

}  // namespace
}  // namespace tessra::platform
