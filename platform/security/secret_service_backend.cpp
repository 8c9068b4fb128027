#include "platform/security/secret_service_backend.h"

#include <libsecret/secret.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/foundation/logger.h"
#include "platform/security/item_store.h"

namespace tessra::platform::security {
namespace {

#define TESSRA_TEXT_ATTRIBUTE(name) \
  SecretSchemaAttribute { name, SECRET_SCHEMA_ATTRIBUTE_STRING }

// Every value is stored as text (flags as "true"/"false", numbers in decimal, bytes in Base64)
// so that the keyring matches them byte for byte, as the in-memory backend does.
const SecretSchema kSchema = {"org.tessra.Tessra.Keychain",
                              SECRET_SCHEMA_NONE,
                              {
                                  TESSRA_TEXT_ATTRIBUTE("class"),
                                  TESSRA_TEXT_ATTRIBUTE("accessGroup"),
                                  TESSRA_TEXT_ATTRIBUTE("synchronizable"),
                                  TESSRA_TEXT_ATTRIBUTE("accessible"),
                                  TESSRA_TEXT_ATTRIBUTE("service"),
                                  TESSRA_TEXT_ATTRIBUTE("account"),
                                  TESSRA_TEXT_ATTRIBUTE("server"),
                                  TESSRA_TEXT_ATTRIBUTE("protocol"),
                                  TESSRA_TEXT_ATTRIBUTE("authenticationType"),
                                  TESSRA_TEXT_ATTRIBUTE("port"),
                                  TESSRA_TEXT_ATTRIBUTE("path"),
                                  TESSRA_TEXT_ATTRIBUTE("securityDomain"),
                                  TESSRA_TEXT_ATTRIBUTE("label"),
                                  TESSRA_TEXT_ATTRIBUTE("comment"),
                                  TESSRA_TEXT_ATTRIBUTE("description"),
                                  TESSRA_TEXT_ATTRIBUTE("creator"),
                                  TESSRA_TEXT_ATTRIBUTE("type"),
                                  TESSRA_TEXT_ATTRIBUTE("isInvisible"),
                                  TESSRA_TEXT_ATTRIBUTE("isNegative"),
                                  TESSRA_TEXT_ATTRIBUTE("generic"),
                                  {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING},
                              },
                              0,
                              nullptr,
                              nullptr,
                              nullptr,
                              nullptr,
                              nullptr,
                              nullptr,
                              nullptr};

#undef TESSRA_TEXT_ATTRIBUTE

struct GObjectUnref {
  void operator()(gpointer object) const { g_object_unref(object); }
};
template <class T>
using GObjectPtr = std::unique_ptr<T, GObjectUnref>;

struct GErrorFree {
  void operator()(GError* error) const { g_error_free(error); }
};
using GErrorPtr = std::unique_ptr<GError, GErrorFree>;

struct GHashTableUnref {
  void operator()(GHashTable* table) const { g_hash_table_unref(table); }
};
using GHashTablePtr = std::unique_ptr<GHashTable, GHashTableUnref>;

struct SecretValueUnref {
  void operator()(SecretValue* value) const { secret_value_unref(value); }
};
using SecretValuePtr = std::unique_ptr<SecretValue, SecretValueUnref>;

struct GFree {
  void operator()(gpointer memory) const { g_free(memory); }
};
using GCharPtr = std::unique_ptr<gchar, GFree>;

struct ItemListFree {
  void operator()(GList* list) const { g_list_free_full(list, g_object_unref); }
};
using ItemListPtr = std::unique_ptr<GList, ItemListFree>;

// Cancels the calls made with its cancellable once `timeout` has passed, so a bus or a service
// that never answers cannot hold the calling thread for longer.
class Deadline {
 public:
  explicit Deadline(std::chrono::milliseconds timeout)
      : m_timeout(timeout), m_cancellable(g_cancellable_new()) {
    m_watchdog = std::thread([this] {
      std::unique_lock lock(m_mutex);
      if (!m_cv.wait_for(lock, m_timeout, [this] { return m_finished; }))
        g_cancellable_cancel(m_cancellable.get());
    });
  }
  ~Deadline() {
    {
      std::lock_guard lock(m_mutex);
      m_finished = true;
    }
    m_cv.notify_one();
    m_watchdog.join();
  }
  Deadline(const Deadline&) = delete;
  Deadline& operator=(const Deadline&) = delete;

  GCancellable* cancellable() const { return m_cancellable.get(); }
  bool expired() const { return g_cancellable_is_cancelled(m_cancellable.get()); }
  std::chrono::milliseconds timeout() const { return m_timeout; }

 private:
  std::chrono::milliseconds m_timeout;
  GObjectPtr<GCancellable> m_cancellable;
  std::mutex m_mutex;
  std::condition_variable m_cv;
  bool m_finished = false;  // guarded by m_mutex
  std::thread m_watchdog;
};

OSStatus statusFor(const GError* error, const Deadline& deadline, std::string_view operation) {
  if (deadline.expired()) {
    logError("Login keyring: {} got no answer within {} ms", operation, deadline.timeout().count());
    return kErrSecNotAvailable;
  }
  if (!error) {
    logError("Login keyring: {} failed without a reason", operation);
    return kErrSecUnexpectedError;
  }
  logError("Login keyring: {} failed: {}", operation, error->message);
  if (error->domain == SECRET_ERROR) {
    switch (error->code) {
      case SECRET_ERROR_IS_LOCKED:
        return kErrSecInteractionNotAllowed;
      case SECRET_ERROR_NO_SUCH_OBJECT:
        return kErrSecItemNotFound;
      case SECRET_ERROR_ALREADY_EXISTS:
        return kErrSecDuplicateItem;
      default:
        return kErrSecUnexpectedError;
    }
  }
  if (error->domain == G_DBUS_ERROR) {
    if (error->code == G_DBUS_ERROR_ACCESS_DENIED || error->code == G_DBUS_ERROR_AUTH_FAILED)
      return kErrSecAuthFailed;
    return kErrSecNotAvailable;  // no such name on the bus, no reply, disconnected, ...
  }
  if (error->domain == G_IO_ERROR) return kErrSecNotAvailable;  // no bus to connect to
  return kErrSecUnexpectedError;
}

// Whether a call failed because its item is no longer in the keyring: another program deleted it
// after we found it. The keyring answers for such a path as for an object it never had.
bool itemVanished(const GError* error) {
  if (!error) return false;
  if (error->domain == SECRET_ERROR) return error->code == SECRET_ERROR_NO_SUCH_OBJECT;
  return error->domain == G_DBUS_ERROR &&
         (error->code == G_DBUS_ERROR_UNKNOWN_METHOD || error->code == G_DBUS_ERROR_UNKNOWN_OBJECT);
}

std::expected<GObjectPtr<SecretService>, OSStatus> connect(const Deadline& deadline) {
  GError* raw = nullptr;
  SecretService* service =
      secret_service_get_sync(SECRET_SERVICE_OPEN_SESSION, deadline.cancellable(), &raw);
  GErrorPtr error(raw);
  if (!service || error) {
    if (service) g_object_unref(service);
    return std::unexpected(statusFor(error.get(), deadline, "connecting to the Secret Service"));
  }
  return GObjectPtr<SecretService>(service);
}

GHashTablePtr toHashTable(const StringMap& attributes) {
  GHashTablePtr table(g_hash_table_new_full(g_str_hash, g_str_equal, g_free, g_free));
  for (const auto& [name, value] : attributes) {
    // The keyring keeps its own record of which schema an item belongs to.
    if (name == "xdg:schema") continue;
    g_hash_table_insert(table.get(), g_strdup(name.c_str()), g_strdup(value.c_str()));
  }
  return table;
}

StringMap fromHashTable(GHashTable* table) {
  StringMap attributes;
  GHashTableIter iter;
  gpointer key = nullptr;
  gpointer value = nullptr;
  g_hash_table_iter_init(&iter, table);
  while (g_hash_table_iter_next(&iter, &key, &value))
    attributes.emplace(static_cast<const char*>(key), static_cast<const char*>(value));
  return attributes;
}

SecretItem* nativeItem(const StoredItem& item) {
  return static_cast<SecretItem*>(item.native.get());
}

StoredItem toStoredItem(SecretItem* item) {
  GHashTablePtr attributes(secret_item_get_attributes(item));
  GCharPtr label(secret_item_get_label(item));
  StoredItem stored;
  stored.handle = g_dbus_proxy_get_object_path(G_DBUS_PROXY(item));
  stored.attributes = fromHashTable(attributes.get());
  stored.label = label ? label.get() : "";
  stored.created = Date::fromUnixTime(static_cast<double>(secret_item_get_created(item)));
  stored.modified = Date::fromUnixTime(static_cast<double>(secret_item_get_modified(item)));
  stored.locked = secret_item_get_locked(item);
  stored.native = std::shared_ptr<void>(g_object_ref(item), g_object_unref);
  return stored;
}

SecretValuePtr toSecretValue(const Bytes& secret) {
  return SecretValuePtr(secret_value_new(reinterpret_cast<const gchar*>(secret.data()),
                                         static_cast<gssize>(secret.size()),
                                         "application/octet-stream"));
}

}  // namespace

SecretServiceBackend::SecretServiceBackend(std::chrono::milliseconds timeout,
                                           std::chrono::milliseconds promptTimeout)
    : m_timeout(timeout), m_promptTimeout(promptTimeout) {}

std::expected<std::vector<StoredItem>, OSStatus> SecretServiceBackend::search(
    const StringMap& filter) {
  Deadline deadline(m_timeout);
  auto service = connect(deadline);
  if (!service) return std::unexpected(service.error());
  GHashTablePtr attributes = toHashTable(filter);
  // The search lists the matching paths, then loads each item; one deleted in between by another
  // program fails the whole search, so it is asked again with the keyring as it is now.
  ItemListPtr found;
  for (;;) {
    GError* raw = nullptr;
    found.reset(secret_service_search_sync(service->get(), &kSchema, attributes.get(),
                                           SECRET_SEARCH_ALL, deadline.cancellable(), &raw));
    GErrorPtr error(raw);
    if (!error && !deadline.expired()) break;
    if (!itemVanished(error.get()) || deadline.expired())
      return std::unexpected(statusFor(error.get(), deadline, "searching items"));
  }
  std::vector<StoredItem> items;
  for (GList* node = found.get(); node; node = node->next)
    items.push_back(toStoredItem(static_cast<SecretItem*>(node->data)));
  return items;
}

OSStatus SecretServiceBackend::unlock(const std::vector<StoredItem>& items) {
  Deadline deadline(m_promptTimeout);
  auto service = connect(deadline);
  if (!service) return service.error();
  GList* objects = nullptr;
  for (const auto& item : items) objects = g_list_prepend(objects, nativeItem(item));
  GError* raw = nullptr;
  gint unlocked =
      secret_service_unlock_sync(service->get(), objects, deadline.cancellable(), nullptr, &raw);
  g_list_free(objects);
  GErrorPtr error(raw);
  if (error || deadline.expired()) return statusFor(error.get(), deadline, "unlocking items");
  // The keyring answers a dismissed password prompt with nothing unlocked and no error.
  if (unlocked <= 0) return kErrSecUserCanceled;
  return kErrSecSuccess;
}

std::expected<Bytes, OSStatus> SecretServiceBackend::secret(const StoredItem& item) {
  Deadline deadline(m_timeout);
  GError* raw = nullptr;
  gboolean loaded = secret_item_load_secret_sync(nativeItem(item), deadline.cancellable(), &raw);
  GErrorPtr error(raw);
  if (!loaded || error || deadline.expired())
    return std::unexpected(statusFor(error.get(), deadline, "reading a secret"));
  SecretValuePtr value(secret_item_get_secret(nativeItem(item)));
  // A locked item has no secret to hand out.
  if (!value) return std::unexpected(kErrSecInteractionNotAllowed);
  gsize length = 0;
  const gchar* bytes = secret_value_get(value.get(), &length);
  auto begin = reinterpret_cast<const std::uint8_t*>(bytes);
  return Bytes(begin, begin + length);
}

OSStatus SecretServiceBackend::create(const StringMap& attributes, const std::string& label,
                                      const Bytes& secret) {
  // Storing into a locked keyring asks for its password, so this call gets the prompt's time.
  Deadline deadline(m_promptTimeout);
  auto service = connect(deadline);
  if (!service) return service.error();
  GHashTablePtr table = toHashTable(attributes);
  SecretValuePtr value = toSecretValue(secret);
  GError* raw = nullptr;
  gboolean stored =
      secret_service_store_sync(service->get(), &kSchema, table.get(), SECRET_COLLECTION_DEFAULT,
                                label.c_str(), value.get(), deadline.cancellable(), &raw);
  GErrorPtr error(raw);
  if (!stored || error || deadline.expired())
    return statusFor(error.get(), deadline, "storing an item");
  return kErrSecSuccess;
}

OSStatus SecretServiceBackend::modify(const StoredItem& item, const StringMap& attributes,
                                      const std::string& label, const Bytes* secret) {
  Deadline deadline(m_timeout);
  SecretItem* native = nativeItem(item);
  // Runs one change; each gets its own error slot.
  auto change = [&](std::string_view operation, auto&& call) -> OSStatus {
    GError* raw = nullptr;
    gboolean done = call(&raw);
    GErrorPtr error(raw);
    if (!done || error || deadline.expired()) return statusFor(error.get(), deadline, operation);
    return kErrSecSuccess;
  };
  if (secret) {
    SecretValuePtr value = toSecretValue(*secret);
    OSStatus status = change("changing a secret", [&](GError** error) {
      return secret_item_set_secret_sync(native, value.get(), deadline.cancellable(), error);
    });
    if (status != kErrSecSuccess) return status;
  }
  if (attributes != item.attributes) {
    GHashTablePtr table = toHashTable(attributes);
    OSStatus status = change("changing item attributes", [&](GError** error) {
      return secret_item_set_attributes_sync(native, &kSchema, table.get(), deadline.cancellable(),
                                             error);
    });
    if (status != kErrSecSuccess) return status;
  }
  if (label != item.label) {
    return change("changing an item label", [&](GError** error) {
      return secret_item_set_label_sync(native, label.c_str(), deadline.cancellable(), error);
    });
  }
  return kErrSecSuccess;
}

OSStatus SecretServiceBackend::erase(const StoredItem& item) {
  Deadline deadline(m_timeout);
  GError* raw = nullptr;
  gboolean done = secret_item_delete_sync(nativeItem(item), deadline.cancellable(), &raw);
  GErrorPtr error(raw);
  if (itemVanished(error.get()) && !deadline.expired()) return kErrSecItemNotFound;
  if (!done || error || deadline.expired())
    return statusFor(error.get(), deadline, "deleting an item");
  return kErrSecSuccess;
}

std::shared_ptr<ItemStore> loginKeyring() {
  static const auto store = std::make_shared<ItemStore>(std::make_shared<SecretServiceBackend>());
  return store;
}

}  // namespace tessra::platform::security
