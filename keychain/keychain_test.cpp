#include "keychain/keychain.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <thread>

#include "keychain/test_support.h"
#include "platform/security/item_constants.h"
#include "platform/security/memory_backend.h"
#include "platform/security/test_support.h"
#include "testing/log_capture.h"

namespace tessra::keychain {
namespace {

namespace sec = platform::security;
using tessra::testing::LogCapture;
using testing::uniqueService;

enum class StoreKind { loginKeyring, memory };

std::string storeName(const ::testing::TestParamInfo<StoreKind>& info) {
  return info.param == StoreKind::loginKeyring ? "LoginKeyring" : "Memory";
}

// Every behaviour runs against the real login keyring of the test session and against the
// in-memory store, so both keep the same rules.
class KeychainBehaviour : public ::testing::TestWithParam<StoreKind> {
 protected:
  void SetUp() override {
    m_store = GetParam() == StoreKind::loginKeyring ? sec::testing::patientLoginKeyring()
                                                    : sec::makeMemoryStore();
  }
  void TearDown() override {
    for (const auto& keychain : m_made) ASSERT_TRUE(keychain.removeAll().has_value());
  }

  Keychain make(const std::string& purpose) {
    m_made.push_back(Keychain(uniqueService(purpose)).withStore(m_store));
    return m_made.back();
  }
  Keychain makeInternet(const std::string& url, ProtocolType protocol,
                        AuthenticationType type = AuthenticationType::default_) {
    m_made.push_back(
        Keychain(*ServerUrl::parse(url), protocol, std::nullopt, type).withStore(m_store));
    return m_made.back();
  }

  Keychain::Store m_store;
  std::vector<Keychain> m_made;
};

TEST_P(KeychainBehaviour, StoresReadsBackUpdatesAndRemoves) {
  Keychain keychain = make("road");
  ASSERT_TRUE(keychain.set("sk-first", "openAiKey").has_value());
  EXPECT_EQ(keychain.get("openAiKey").value(), std::optional<std::string>("sk-first"));

  ASSERT_TRUE(keychain.set("sk-second", "openAiKey").has_value());
  EXPECT_EQ(keychain.getString("openAiKey"), "sk-second");
  EXPECT_EQ(keychain.allKeys(), std::vector<std::string>{"openAiKey"});
  EXPECT_EQ(keychain.contains("openAiKey").value(), true);

  ASSERT_TRUE(keychain.remove("openAiKey").has_value());
  EXPECT_EQ(keychain.getString("openAiKey"), std::nullopt);
  EXPECT_EQ(keychain.contains("openAiKey").value(), false);
  EXPECT_TRUE(keychain.remove("openAiKey").has_value()) << "removing a missing item succeeds";
}

TEST_P(KeychainBehaviour, TextSecretsRoundTripExactly) {
  Keychain keychain = make("texts");
  const std::vector<std::string> secrets = {
      "sk-proj-0123456789abcdefABCDEF", "ключ 🔑 é 日本",        "",
      std::string("with\0nul", 8),      std::string(4096, 'x'),
  };
  for (std::size_t i = 0; i < secrets.size(); ++i) {
    std::string key = "key" + std::to_string(i);
    ASSERT_TRUE(keychain.set(secrets[i], key).has_value()) << key;
    EXPECT_EQ(keychain.get(key).value(), std::optional<std::string>(secrets[i])) << key;
    EXPECT_EQ(keychain.getData(key).value(), std::optional<Bytes>(toBytes(secrets[i]))) << key;
  }
  EXPECT_EQ(keychain.allKeys().size(), secrets.size());
}

TEST_P(KeychainBehaviour, BytesThatAreNotTextReadAsBytesOnly) {
  Keychain keychain = make("bytes");
  const Bytes bytes = {0x00, 0xff, 0xfe, 0x80, 0x41};
  ASSERT_TRUE(keychain.set(bytes, "blob").has_value());
  EXPECT_EQ(keychain.getDataValue("blob"), bytes);

  LogCapture capture;
  auto text = keychain.get("blob");
  EXPECT_EQ(keychain.getString("blob"), std::nullopt);
  std::string printed = capture.all();
  ASSERT_FALSE(text.has_value());
  EXPECT_EQ(text.error(), Status::conversionError);
  EXPECT_EQ(printed, "failed to convert data to string\nfailed to convert data to string\n");

  // Listings ask for attributes only, so no secret is loaded (or unlocked) to list keys.
  auto items = keychain.allItems();
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].at("key"), ItemRecordValue("blob"));
  EXPECT_FALSE(items[0].contains("value"));
}

TEST_P(KeychainBehaviour, MissingItemReadsAbsentAndPrintsNothing) {
  Keychain keychain = make("missing");
  LogCapture capture;
  EXPECT_EQ(keychain.get("nothing").value(), std::optional<std::string>());
  EXPECT_EQ(keychain.getData("nothing").value(), std::optional<Bytes>());
  auto attributes = keychain.getAttributes("nothing");
  ASSERT_TRUE(attributes.has_value());
  EXPECT_FALSE(attributes->has_value());
  EXPECT_EQ(keychain.contains("nothing").value(), false);
  EXPECT_EQ(keychain.getString("nothing"), std::nullopt);
  EXPECT_TRUE(keychain.allKeys().empty());
  EXPECT_EQ(keychain.description(), "[]");
  EXPECT_EQ(capture.all(), "");
}

TEST_P(KeychainBehaviour, TwoServicesAreKeptApart) {
  Keychain first = make("first");
  Keychain second = make("second");
  ASSERT_TRUE(first.set("one", "shared").has_value());
  ASSERT_TRUE(second.set("two", "shared").has_value());
  EXPECT_EQ(first.getString("shared"), "one");
  EXPECT_EQ(second.getString("shared"), "two");

  ASSERT_TRUE(first.removeAll().has_value());
  EXPECT_EQ(first.getString("shared"), std::nullopt);
  EXPECT_EQ(second.getString("shared"), "two");
}

TEST_P(KeychainBehaviour, NonFailingFormsWriteAndRemove) {
  Keychain keychain = make("keyed");
  keychain.setString("value", "k");
  EXPECT_EQ(keychain.getString("k"), "value");
  keychain.setString(std::nullopt, "k");
  EXPECT_EQ(keychain.getString("k"), std::nullopt);

  keychain.setDataValue(Bytes{1, 2, 3}, "d");
  EXPECT_EQ(keychain.getDataValue("d"), (Bytes{1, 2, 3}));
  ASSERT_TRUE(keychain.getAttributesValue("d").has_value());
  keychain.setDataValue(std::nullopt, "d");
  EXPECT_EQ(keychain.getDataValue("d"), std::nullopt);
}

TEST_P(KeychainBehaviour, AttributesOfAnItemReadBack) {
  platform::Date before = platform::Date::now().addingTimeInterval(-2);
  Keychain keychain = make("attributes")
                          .label("OpenAI key")
                          .comment("used by the chat")
                          .attributes({{std::string(sec::kSecAttrDescription), std::string("api")},
                                       {std::string(sec::kSecAttrGeneric), Bytes{9, 8, 7}}});
  ASSERT_TRUE(keychain.set("secret-value", "openAiKey").has_value());

  auto attributes = keychain.getAttributesValue("openAiKey");
  ASSERT_TRUE(attributes.has_value());
  EXPECT_EQ(attributes->itemClass(), std::string(sec::kSecClassGenericPassword));
  EXPECT_EQ(attributes->account(), "openAiKey");
  EXPECT_EQ(attributes->service(), keychain.service());
  EXPECT_EQ(attributes->label(), "OpenAI key");
  EXPECT_EQ(attributes->comment(), "used by the chat");
  EXPECT_EQ(attributes->attributeDescription(), "api");
  EXPECT_EQ(attributes->generic(), (Bytes{9, 8, 7}));
  EXPECT_EQ(attributes->accessible(), std::string(rawValue(Accessibility::afterFirstUnlock)));
  EXPECT_EQ(attributes->synchronizable(), false);
  EXPECT_EQ(attributes->data(), toBytes("secret-value"));
  EXPECT_TRUE(attributes->persistentRef().has_value());
  ASSERT_TRUE(attributes->creationDate().has_value());
  EXPECT_GE(*attributes->creationDate(), before);
  EXPECT_EQ(attributes->port(), std::nullopt) << "a text entry never reads as a number";
  EXPECT_EQ(attributes->description().find("secret-value"), std::string::npos);

  auto count = keychain.get("openAiKey", true, [](std::optional<Attributes> found) {
    return found ? found->attributes().size() : 0u;
  });
  ASSERT_TRUE(count.has_value());
  EXPECT_GT(*count, 10u);
}

TEST_P(KeychainBehaviour, ListingsDescribeItemsWithoutTheirSecrets) {
  Keychain keychain = make("listing");
  ASSERT_TRUE(keychain.set("hidden-1", "a").has_value());
  ASSERT_TRUE(keychain.set("hidden-2", "b").has_value());

  auto items = keychain.allItems();
  ASSERT_EQ(items.size(), 2u);
  for (const auto& item : items) {
    EXPECT_EQ(item.at("class"), ItemRecordValue("GenericPassword"));
    EXPECT_EQ(item.at("service"), ItemRecordValue(keychain.service()));
    EXPECT_EQ(item.at("accessibility"), ItemRecordValue("AfterFirstUnlock"));
    EXPECT_EQ(item.at("synchronizable"), ItemRecordValue("false"));
    EXPECT_FALSE(item.contains("accessGroup"));
  }
  std::vector<std::string> keys = keychain.allKeys();
  std::ranges::sort(keys);
  EXPECT_EQ(keys, (std::vector<std::string>{"a", "b"}));

  auto everywhere = Keychain::allKeys(ItemClass::genericPassword, m_store);
  EXPECT_NE(std::ranges::find(everywhere, std::pair{keychain.service(), std::string("a")}),
            everywhere.end());

  std::string text = keychain.description();
  EXPECT_TRUE(text.starts_with("[\n  [")) << text;
  EXPECT_TRUE(text.ends_with("]\n]")) << text;
  EXPECT_EQ(text.find("hidden"), std::string::npos) << text;
  EXPECT_EQ(keychain.debugDescription().find("hidden"), std::string::npos);
}

TEST_P(KeychainBehaviour, InternetPasswordsAreScopedByServerPortAndProtocol) {
  // A host of its own, so that parallel test processes sharing the keyring never meet.
  std::string host = uniqueService("host") + ".example";
  std::ranges::transform(host, host.begin(), [](unsigned char c) { return std::tolower(c); });
  Keychain site = makeInternet("https://" + host + ":8443/login", ProtocolType::https,
                               AuthenticationType::htmlForm);
  Keychain otherPort = makeInternet("https://" + host + ":9443/login", ProtocolType::https,
                                    AuthenticationType::htmlForm);
  Keychain otherProtocol =
      makeInternet("ftp://" + host + ":8443", ProtocolType::ftp, AuthenticationType::htmlForm);
  ASSERT_TRUE(site.set("p1", "alice").has_value());
  ASSERT_TRUE(otherPort.set("p2", "alice").has_value());
  ASSERT_TRUE(otherProtocol.set("p3", "alice").has_value());
  EXPECT_EQ(site.getString("alice"), "p1");
  EXPECT_EQ(otherPort.getString("alice"), "p2");
  EXPECT_EQ(otherProtocol.getString("alice"), "p3");

  // A URL without a port puts no port into the query, so it reaches the items of every port.
  Keychain anyPort =
      makeInternet("https://" + host, ProtocolType::https, AuthenticationType::htmlForm);
  auto sitePasswords = anyPort.allKeys();
  EXPECT_EQ(sitePasswords, (std::vector<std::string>{"alice", "alice"}));

  auto attributes = site.getAttributesValue("alice");
  ASSERT_TRUE(attributes.has_value());
  EXPECT_EQ(attributes->server(), host);
  EXPECT_EQ(attributes->port(), 8443);

  auto items = site.allItems();
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].at("class"), ItemRecordValue("InternetPassword"));
  EXPECT_EQ(items[0].at("server"), ItemRecordValue(host));
  EXPECT_EQ(items[0].at("protocol"), ItemRecordValue("HTTPS"));
  EXPECT_EQ(items[0].at("authenticationType"), ItemRecordValue("HTMLForm"));
  EXPECT_EQ(items[0].at("key"), ItemRecordValue("alice"));
  EXPECT_FALSE(items[0].contains("service"));
}

TEST_P(KeychainBehaviour, SynchronizableStateIsHonouredOnlyWhenAsked) {
  Keychain plain = make("sync");
  Keychain synced = plain.synchronizable(true);
  ASSERT_TRUE(synced.set("in-sync", "k", false).has_value());
  EXPECT_EQ(plain.get("k", false).value(), std::optional<std::string>())
      << "not-synchronizable query";
  EXPECT_EQ(plain.get("k", true).value(), std::optional<std::string>("in-sync"));

  // The update path matches the item whatever its state, so no second item appears.
  ASSERT_TRUE(plain.set("changed", "k", true).has_value());
  EXPECT_EQ(plain.getString("k"), "changed");
  EXPECT_EQ(plain.allKeys().size(), 1u);
}

TEST_P(KeychainBehaviour, AccessControlIsUnimplementedAndStoresNothing) {
  Keychain keychain = make("policy");
  Keychain guarded =
      keychain.accessibility(Accessibility::whenUnlocked, AuthenticationPolicy::userPresence());
  LogCapture capture;
  auto stored = guarded.set("guarded-secret", "k");
  std::string printed = capture.all();
  ASSERT_FALSE(stored.has_value());
  EXPECT_EQ(stored.error(), Status::unimplemented);
  EXPECT_EQ(printed, "Function or operation not implemented.\n");
  EXPECT_EQ(keychain.getString("k"), std::nullopt);
}

TEST_P(KeychainBehaviour, UnknownExtraAttributeFailsAndStoresNothing) {
  Keychain keychain = make("badattribute");
  LogCapture capture;
  auto stored = keychain.attributes({{"colour", std::string("blue")}}).set("bad-secret", "k");
  std::string printed = capture.all();
  ASSERT_FALSE(stored.has_value());
  EXPECT_EQ(stored.error(), Status::itemInvalidKey);
  EXPECT_EQ(printed,
            "OSStatus error:[-34000] A string key in dictionary is not one of the supported "
            "keys.\n");
  EXPECT_EQ(keychain.getString("k"), std::nullopt);
}

TEST_P(KeychainBehaviour, SecretsNeverReachLogsOrStatusLines) {
  Keychain keychain = make("leak");
  LogCapture capture;
  (void)keychain.set("leak-canary-secret", "k");
  (void)keychain.attributes({{"bad", true}}).set("leak-canary-secret", "k");
  (void)keychain.accessibility(Accessibility::always, AuthenticationPolicy::watch())
      .set("leak-canary-secret", "k");
  (void)keychain.set(Bytes{0xff}, "k");
  (void)keychain.get("k");
  std::string printed = capture.all();
  EXPECT_EQ(printed.find("leak-canary"), std::string::npos) << printed;
  EXPECT_FALSE(printed.empty());
}

TEST_P(KeychainBehaviour, ConcurrentWritersEachKeepTheirItem) {
  Keychain keychain = make("threads");
  std::vector<std::jthread> writers;
  for (int i = 0; i < 4; ++i) {
    writers.emplace_back([&, i] {
      for (int round = 0; round < 3; ++round)
        EXPECT_TRUE(keychain.set("v" + std::to_string(round), "k" + std::to_string(i)));
    });
  }
  writers.clear();
  auto keys = keychain.allKeys();
  std::ranges::sort(keys);
  EXPECT_EQ(keys, (std::vector<std::string>{"k0", "k1", "k2", "k3"}));
  for (const auto& key : keys) EXPECT_EQ(keychain.getString(key), "v2");
}

// A locked keyring, which only the in-memory store can be put in without a person at the prompt.
class LockedKeyring : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(m_keychain.set("old", "k").has_value()); }

  std::shared_ptr<sec::MemoryBackend> m_backend = std::make_shared<sec::MemoryBackend>();
  Keychain m_keychain =
      Keychain("org.tessra.test.locked").withStore(std::make_shared<sec::ItemStore>(m_backend));
};

TEST_F(LockedKeyring, ProbeThatMayNotReadLeadsToAnUpdateNotASecondItem) {
  m_backend->setLocked(true, true);
  ASSERT_TRUE(m_keychain.set("new", "k").has_value());
  EXPECT_EQ(m_backend->count(), 1u);
  EXPECT_EQ(m_backend->unlockPrompts(), 1) << "the probe itself never prompts";
  EXPECT_EQ(m_keychain.getString("k"), "new");
}

TEST_F(LockedKeyring, DeclinedPromptFailsQuietlyAndKeepsTheItem) {
  m_backend->setLocked(true, false);
  LogCapture capture;
  auto read = m_keychain.get("k");
  EXPECT_EQ(m_keychain.getString("k"), std::nullopt);
  auto stored = m_keychain.set("new", "k");
  std::string printed = capture.all();
  ASSERT_FALSE(read.has_value());
  EXPECT_EQ(read.error(), Status::userCanceled);
  ASSERT_FALSE(stored.has_value());
  EXPECT_EQ(stored.error(), Status::userCanceled);
  EXPECT_EQ(printed, "") << "a canceled prompt writes no line";

  m_backend->setLocked(false);
  EXPECT_EQ(m_keychain.getString("k"), "old");
  EXPECT_EQ(m_backend->count(), 1u);
}

TEST_F(LockedKeyring, PresenceNeedsNoUnlockingButReadingDoes) {
  m_backend->setLocked(true, true);
  EXPECT_EQ(m_keychain.contains("k", true).value(), true);
  EXPECT_EQ(m_keychain.contains("missing", true).value(), false);
  EXPECT_EQ(m_backend->unlockPrompts(), 0);
  EXPECT_EQ(m_keychain.getString("k"), "old");
  EXPECT_EQ(m_backend->unlockPrompts(), 1);
}

INSTANTIATE_TEST_SUITE_P(Stores, KeychainBehaviour,
                         ::testing::Values(StoreKind::loginKeyring, StoreKind::memory), storeName);

}  // namespace
}  // namespace tessra::keychain
