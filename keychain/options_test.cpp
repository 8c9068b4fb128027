#include "keychain/options.h"

#include <gtest/gtest.h>

#include <set>

#include "keychain/keychain.h"
#include "platform/security/item_constants.h"

namespace tessra::keychain {
namespace {

namespace sec = platform::security;

template <class Enum>
void expectRawValuesRoundTrip(std::size_t count) {
  auto cases = allCases<Enum>();
  ASSERT_EQ(cases.size(), count);
  std::set<std::string_view> raws;
  for (Enum value : cases) {
    raws.insert(rawValue(value));
    EXPECT_EQ(fromRawValue<Enum>(rawValue(value)), value) << rawValue(value);
  }
  EXPECT_EQ(raws.size(), count);
  EXPECT_EQ(fromRawValue<Enum>(""), std::nullopt);
  EXPECT_EQ(fromRawValue<Enum>("no such constant"), std::nullopt);
}

TEST(ServerUrlParsing, KeepsHostAndPortOnlyWhenGiven) {
  struct Row {
    std::string_view text;
    std::optional<std::string> host;
    std::optional<std::int64_t> port;
  };
  const Row rows[] = {
      {"https://example.com:8443/login", "example.com", 8443},
      {"https://example.com", "example.com", std::nullopt},
      {"ftp://user@files.example.org:21", "files.example.org", 21},
      {"file:///srv/data", std::nullopt, std::nullopt},
  };
  for (const auto& row : rows) {
    auto url = ServerUrl::parse(row.text);
    ASSERT_TRUE(url.has_value()) << row.text;
    EXPECT_EQ(url->text(), row.text);
    EXPECT_EQ(url->host(), row.host) << row.text;
    EXPECT_EQ(url->port(), row.port) << row.text;
  }
  for (std::string_view bad : {"", "not a url", "https://exa mple.com", "://x"})
    EXPECT_FALSE(ServerUrl::parse(bad).has_value()) << bad;
}

std::set<std::string> keysOf(const sec::Dictionary& dictionary) {
  std::set<std::string> keys;
  for (const auto& [key, value] : dictionary) keys.insert(key);
  return keys;
}

TEST(OptionsQuery, GenericPasswordsAddressTheirService) {
  Options options;
  options.service = "org.tessra.Tessra";
  EXPECT_EQ(options.authenticationType, AuthenticationType::default_);
  EXPECT_EQ(options.accessibility, Accessibility::afterFirstUnlock);

  auto query = options.query(false);
  EXPECT_EQ(keysOf(query), (std::set<std::string>{"class", "service", "synchronizable"}));
  EXPECT_EQ(std::get<bool>(query.at("synchronizable")), false);
  EXPECT_TRUE(std::holds_alternative<sec::SynchronizableAny>(
      options.query(true).at(std::string(sec::kSecAttrSynchronizable))));

  options.accessGroup = "group";
  options.authenticationPrompt = "Unlock";
  options.label = "never in a query";
  EXPECT_EQ(keysOf(options.query(true)),
            (std::set<std::string>{"class", "service", "synchronizable", "accessGroup",
                                   "operationPrompt"}));
}

TEST(OptionsQuery, InternetPasswordsLeaveOutWhatTheUrlLacks) {
  struct Row {
    std::string_view url;
    std::set<std::string> keys;
  };
  const Row rows[] = {
      {"https://example.com:8443",
       {"class", "synchronizable", "server", "port", "protocol", "authenticationType"}},
      {"https://example.com",
       {"class", "synchronizable", "server", "protocol", "authenticationType"}},
      {"file:///srv", {"class", "synchronizable", "protocol", "authenticationType"}},
  };
  for (const auto& row : rows) {
    Keychain keychain(*ServerUrl::parse(row.url), ProtocolType::https);
    EXPECT_EQ(keysOf(keychain.options().query(true)), row.keys) << row.url;
    EXPECT_EQ(keychain.service(), "");
  }
}

TEST(OptionsAttributes, WriteAddsAccessibilityAndReplacesSynchronizableAny) {
  Options options;
  options.service = "s";
  options.label = "L";
  auto [attributes, error] = options.itemAttributes("key", toBytes("v"));
  EXPECT_FALSE(error.has_value());
  EXPECT_EQ(std::get<std::string>(attributes.at("account")), "key");
  EXPECT_EQ(std::get<std::string>(attributes.at("accessible")), "afterFirstUnlock");
  EXPECT_EQ(std::get<bool>(attributes.at("synchronizable")), false);
  EXPECT_EQ(std::get<Bytes>(attributes.at("valueData")), toBytes("v"));

  auto [changes, changeError] = options.itemAttributes(std::nullopt, toBytes("v"));
  EXPECT_EQ(keysOf(changes),
            (std::set<std::string>{"valueData", "label", "accessible", "synchronizable"}));

  options.authenticationPolicy = AuthenticationPolicy::userPresence();
  auto [guarded, policyError] = options.itemAttributes("key", toBytes("v"));
  EXPECT_EQ(policyError, Status::unimplemented);
  EXPECT_FALSE(guarded.contains("accessible"));
}

TEST(KeychainBuilders, ReturnChangedCopiesAndLeaveTheOriginal) {
  const Keychain base;
  EXPECT_EQ(base.service(), kMainBundleIdentifier);
  EXPECT_EQ(base.authenticationUI(), AuthenticationUI::allow);
  EXPECT_EQ(Keychain::withAccessGroup("team").accessGroup(), "team");

  Keychain changed = base.label("L")
                         .comment("C")
                         .synchronizable(true)
                         .accessibility(Accessibility::always)
                         .authenticationUI(AuthenticationUI::skip)
                         .authenticationPrompt("P")
                         .attributes({{"a", std::string("1")}, {"b", std::string("2")}})
                         .attributes({{"b", std::string("3")}});
  EXPECT_EQ(changed.label(), "L");
  EXPECT_EQ(changed.comment(), "C");
  EXPECT_TRUE(changed.synchronizable());
  EXPECT_EQ(changed.accessibility(), Accessibility::always);
  EXPECT_EQ(changed.authenticationUI(), AuthenticationUI::skip);
  EXPECT_EQ(changed.authenticationPrompt(), "P");
  EXPECT_EQ(std::get<std::string>(changed.options().attributes.at("a")), "1");
  EXPECT_EQ(std::get<std::string>(changed.options().attributes.at("b")), "3");
  EXPECT_EQ(changed.service(), base.service());

  EXPECT_EQ(base.label(), std::nullopt);
  EXPECT_FALSE(base.synchronizable());
  EXPECT_TRUE(base.options().attributes.empty());
  auto guarded = base.accessibility(Accessibility::whenUnlocked, AuthenticationPolicy::watch());
  EXPECT_EQ(guarded.authenticationPolicy(), AuthenticationPolicy::watch());
  EXPECT_EQ(base.authenticationPolicy(), std::nullopt);
}

}  // namespace
}  // namespace tessra::keychain
