#include "platform/security/item_store.h"

#include <gtest/gtest.h>

#include <thread>

#include "platform/foundation/uuid.h"
#include "platform/security/memory_backend.h"
#include "platform/security/test_support.h"

namespace tessra::platform::security {
namespace {

enum class StoreKind { loginKeyring, memory };

std::string storeName(const ::testing::TestParamInfo<StoreKind>& info) {
  return info.param == StoreKind::loginKeyring ? "LoginKeyring" : "Memory";
}

// The dictionary rules hold the same for the login keyring and for the in-memory store.
class ItemStoreRules : public ::testing::TestWithParam<StoreKind> {
 protected:
  void SetUp() override {
    m_store =
        GetParam() == StoreKind::loginKeyring ? testing::patientLoginKeyring() : makeMemoryStore();
    m_service = "org.tessra.test.store." + makeUuidString();
  }
  void TearDown() override {
    OSStatus status = m_store->remove(scope());
    EXPECT_TRUE(status == kErrSecSuccess || status == kErrSecItemNotFound) << status;
  }

  Dictionary scope() const {
    return {{std::string(kSecClass), std::string(kSecClassGenericPassword)},
            {std::string(kSecAttrService), m_service},
            {std::string(kSecAttrSynchronizable), SynchronizableAny{}}};
  }
  Dictionary item(const std::string& account, const std::string& secret) const {
    return {{std::string(kSecClass), std::string(kSecClassGenericPassword)},
            {std::string(kSecAttrService), m_service},
            {std::string(kSecAttrAccount), account},
            {std::string(kSecValueData), toBytes(secret)}};
  }
  static Dictionary with(Dictionary dictionary, std::string_view key, Value value) {
    dictionary.insert_or_assign(std::string(key), std::move(value));
    return dictionary;
  }

  std::shared_ptr<ItemStore> m_store;
  std::string m_service;
};

TEST_P(ItemStoreRules, RejectsBadDictionariesWithTheirStatus) {
  struct Row {
    const char* what;
    Dictionary dictionary;
    OSStatus status;
  };
  Dictionary noClass = item("a", "s");
  noClass.erase(std::string(kSecClass));
  const Row adds[] = {
      {"unknown key", with(item("a", "s"), "colour", std::string("blue")), kErrSecItemInvalidKey},
      {"no class", noClass, kErrSecItemClassMissing},
      {"unknown class", with(item("a", "s"), kSecClass, std::string("key")), kErrSecNoSuchClass},
      {"account of the wrong kind", with(item("a", "s"), kSecAttrAccount, std::int64_t{7}),
       kErrSecParam},
      {"port as text", with(item("a", "s"), kSecAttrPort, std::string("80")), kErrSecParam},
      {"account that is not UTF-8", with(item("a", "s"), kSecAttrAccount, std::string("\xff\xfe")),
       kErrSecParam},
      {"creation date", with(item("a", "s"), kSecAttrCreationDate, Date()), kErrSecReadOnlyAttr},
      {"access control",
       with(item("a", "s"), kSecAttrAccessControl, std::make_shared<const AccessControl>()),
       kErrSecUnimplemented},
      {"authentication context",
       with(item("a", "s"), kSecUseAuthenticationContext,
            std::make_shared<const AuthenticationContext>()),
       kErrSecUnimplemented},
      {"synchronizable any", with(item("a", "s"), kSecAttrSynchronizable, SynchronizableAny{}),
       kErrSecParam},
      {"reference", with(item("a", "s"), kSecValueRef, Bytes{1}), kErrSecValueRefUnsupported},
  };
  for (const auto& row : adds) EXPECT_EQ(m_store->add(row.dictionary), row.status) << row.what;

  const Row queries[] = {
      {"data in a query", with(scope(), kSecValueData, Bytes{}), kErrSecParam},
      {"match on a date", with(scope(), kSecAttrModificationDate, Date()),
       kErrSecItemMatchUnsupported},
      {"unknown interaction", with(scope(), kSecUseAuthenticationUI, std::string("maybe")),
       kErrSecParam},
      {"limit of the wrong kind", with(scope(), kSecMatchLimit, true), kErrSecParam},
      {"service that is not UTF-8", with(scope(), kSecAttrService, std::string("svc\xff")),
       kErrSecParam},
  };
  CopyResult result;
  for (const auto& row : queries)
    EXPECT_EQ(m_store->copyMatching(row.dictionary, &result), row.status) << row.what;
  EXPECT_EQ(m_store->copyMatching(scope(), &result), kErrSecItemNotFound)
      << "nothing was stored by the rejected adds";
}

TEST_P(ItemStoreRules, AddRefusesADuplicateAndKeepsTheFirst) {
  ASSERT_EQ(m_store->add(item("a", "first")), kErrSecSuccess);
  EXPECT_EQ(m_store->add(item("a", "second")), kErrSecDuplicateItem);
  CopyResult result;
  ASSERT_EQ(
      m_store->copyMatching(
          with(with(scope(), kSecAttrAccount, std::string("a")), kSecReturnData, true), &result),
      kErrSecSuccess);
  EXPECT_EQ(std::get<Bytes>(result), toBytes("first"));

  // The same account in another service, or synchronizable, is another item.
  ASSERT_EQ(m_store->add(with(item("a", "sync"), kSecAttrSynchronizable, true)), kErrSecSuccess);
}

TEST_P(ItemStoreRules, ResultsTakeTheShapeTheQueryAsksFor) {
  ASSERT_EQ(m_store->add(item("a", "1")), kErrSecSuccess);
  ASSERT_EQ(m_store->add(item("b", "2")), kErrSecSuccess);
  CopyResult result;

  ASSERT_EQ(m_store->copyMatching(scope(), &result), kErrSecSuccess);
  EXPECT_TRUE(std::holds_alternative<std::monostate>(result));

  Dictionary one = with(with(scope(), kSecAttrAccount, std::string("b")), kSecReturnData, true);
  ASSERT_EQ(m_store->copyMatching(one, &result), kErrSecSuccess);
  EXPECT_EQ(std::get<Bytes>(result), toBytes("2"));

  ASSERT_EQ(m_store->copyMatching(with(one, kSecReturnAttributes, true), &result), kErrSecSuccess);
  auto& attributes = std::get<Dictionary>(result);
  EXPECT_EQ(std::get<std::string>(attributes.at(std::string(kSecAttrAccount))), "b");
  EXPECT_EQ(std::get<Bytes>(attributes.at(std::string(kSecValueData))), toBytes("2"));

  Dictionary all = with(with(scope(), kSecMatchLimit, MatchLimit::all), kSecReturnData, true);
  ASSERT_EQ(m_store->copyMatching(all, &result), kErrSecSuccess);
  EXPECT_EQ(std::get<std::vector<Bytes>>(result).size(), 2u);
  ASSERT_EQ(m_store->copyMatching(with(all, kSecReturnAttributes, true), &result), kErrSecSuccess);
  EXPECT_EQ(std::get<std::vector<Dictionary>>(result).size(), 2u);
}

TEST_P(ItemStoreRules, UpdateChangesEveryMatchAndRefusesACollision) {
  ASSERT_EQ(m_store->add(item("a", "1")), kErrSecSuccess);
  ASSERT_EQ(m_store->add(item("b", "2")), kErrSecSuccess);
  Dictionary queryA = with(scope(), kSecAttrAccount, std::string("a"));

  EXPECT_EQ(m_store->update(queryA, {{std::string(kSecAttrAccount), std::string("b")}}),
            kErrSecDuplicateItem);
  EXPECT_EQ(m_store->update(with(scope(), kSecAttrAccount, std::string("zz")),
                            {{std::string(kSecValueData), Bytes{}}}),
            kErrSecItemNotFound);
  EXPECT_EQ(m_store->update(queryA, {{std::string(kSecClass), std::string("x")}}),
            kErrSecNoSuchClass);

  ASSERT_EQ(m_store->update(scope(), {{std::string(kSecValueData), toBytes("same")},
                                      {std::string(kSecAttrLabel), std::string("L")}}),
            kErrSecSuccess);
  CopyResult result;
  Dictionary all = with(with(with(scope(), kSecMatchLimit, MatchLimit::all), kSecReturnData, true),
                        kSecReturnAttributes, true);
  ASSERT_EQ(m_store->copyMatching(all, &result), kErrSecSuccess);
  for (const auto& found : std::get<std::vector<Dictionary>>(result)) {
    EXPECT_EQ(std::get<Bytes>(found.at(std::string(kSecValueData))), toBytes("same"));
    EXPECT_EQ(std::get<std::string>(found.at(std::string(kSecAttrLabel))), "L");
  }
}

INSTANTIATE_TEST_SUITE_P(Stores, ItemStoreRules,
                         ::testing::Values(StoreKind::loginKeyring, StoreKind::memory), storeName);

// A locked keyring, which only the in-memory store can be put in without a person at the prompt.
TEST(LockedStore, InteractionPolicyDecidesBetweenPromptFailureAndSkipping) {
  auto backend = std::make_shared<MemoryBackend>();
  ItemStore store(backend);
  Dictionary item{{std::string(kSecClass), std::string(kSecClassGenericPassword)},
                  {std::string(kSecAttrAccount), std::string("a")},
                  {std::string(kSecValueData), toBytes("secret")}};
  ASSERT_EQ(store.add(item), kErrSecSuccess);
  backend->setLocked(true, false);

  Dictionary query{{std::string(kSecClass), std::string(kSecClassGenericPassword)},
                   {std::string(kSecReturnData), true}};
  auto ask = [&](std::string_view policy) {
    Dictionary withPolicy = query;
    withPolicy.emplace(kSecUseAuthenticationUI, std::string(policy));
    CopyResult result;
    return store.copyMatching(withPolicy, &result);
  };
  EXPECT_EQ(ask(kSecUseAuthenticationUIFail), kErrSecInteractionNotAllowed);
  EXPECT_EQ(ask(kSecUseAuthenticationUISkip), kErrSecItemNotFound);
  EXPECT_EQ(backend->unlockPrompts(), 0);
  EXPECT_EQ(ask(kSecUseAuthenticationUIAllow), kErrSecUserCanceled);
  EXPECT_EQ(backend->unlockPrompts(), 1);

  backend->setLocked(true, true);
  EXPECT_EQ(ask(kSecUseAuthenticationUIAllow), kErrSecSuccess);
  EXPECT_EQ(backend->count(), 1u);
}

// Other programs add and delete items of the keyring at any time; an item that goes away while a
// search gathers the matches is no failure of the search.
TEST(LoginKeyringSearch, SurvivesItemsDeletedWhileItRuns) {
  auto store = testing::patientLoginKeyring();
  const std::string service = "org.tessra.test.churn." + makeUuidString();
  Dictionary churned{{std::string(kSecClass), std::string(kSecClassGenericPassword)},
                     {std::string(kSecAttrService), service},
                     {std::string(kSecValueData), toBytes("churn")}};
  Dictionary churnScope{{std::string(kSecClass), std::string(kSecClassGenericPassword)},
                        {std::string(kSecAttrService), service}};
  std::jthread churner([&](std::stop_token stop) {
    for (int round = 0; !stop.stop_requested(); ++round) {
      Dictionary item = churned;
      item.emplace(kSecAttrAccount, std::to_string(round % 8));
      (void)store->add(item);
      (void)store->remove(churnScope);
    }
  });

  Dictionary everyItem{{std::string(kSecClass), std::string(kSecClassGenericPassword)},
                       {std::string(kSecMatchLimit), MatchLimit::all},
                       {std::string(kSecReturnAttributes), true},
                       {std::string(kSecAttrSynchronizable), SynchronizableAny{}}};
  for (int search = 0; search < 50; ++search) {
    CopyResult result;
    OSStatus status = store->copyMatching(everyItem, &result);
    ASSERT_TRUE(status == kErrSecSuccess || status == kErrSecItemNotFound)
        << "search " << search << " answered " << status;
  }
}

}  // namespace
}  // namespace tessra::platform::security
