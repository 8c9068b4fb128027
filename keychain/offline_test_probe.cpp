// A helper of the keychain tests, run as a child process so that it connects to the bus the test
// chooses (libsecret and GIO keep their first connection for the life of a process).
//
//   keychain_offline_probe run SECRET TIMEOUT_MS   runs every keychain operation and prints
//                                                  "probe: <operation> <code> <milliseconds>"
//   keychain_offline_probe squat                   owns the Secret Service's bus name and never
//                                                  answers, until its standard input closes
#include <gio/gio.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>

#include "keychain/keychain.h"
#include "platform/security/secret_service_backend.h"

namespace {

using namespace tessra::keychain;
namespace sec = tessra::platform::security;

void report(const char* operation, std::optional<Status> failure,
            std::chrono::steady_clock::time_point start) {
  auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - start);
  // The parent test reads these lines from the pipe; one write each keeps them whole.
  const std::string line = "probe: " + std::string(operation) + " " +
                           std::to_string(failure ? rawValue(*failure) : 0) + " " +
                           std::to_string(elapsed.count()) + "\n";
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fflush(stdout);
}

template <class T>
std::optional<Status> failureOf(const KeychainResult<T>& result) {
  if (result) return std::nullopt;
  return result.error();
}

int run(const std::string& secret, std::chrono::milliseconds timeout) {
  auto store =
      std::make_shared<sec::ItemStore>(std::make_shared<sec::SecretServiceBackend>(timeout));
  const Keychain keychain = Keychain("org.tessra.test.offline").withStore(store);
  auto timed = [](const char* operation, const std::function<std::optional<Status>()>& call) {
    auto start = std::chrono::steady_clock::now();
    report(operation, call(), start);
  };
  timed("set", [&] { return failureOf(keychain.set(secret, "openAiKey")); });
  timed("setData", [&] { return failureOf(keychain.set(tessra::toBytes(secret), "blob")); });
  timed("get", [&] { return failureOf(keychain.get("openAiKey")); });
  timed("getData", [&] { return failureOf(keychain.getData("openAiKey")); });
  timed("getAttributes", [&] { return failureOf(keychain.getAttributes("openAiKey")); });
  timed("contains", [&] { return failureOf(keychain.contains("openAiKey")); });
  timed("remove", [&] { return failureOf(keychain.remove("openAiKey")); });
  timed("removeAll", [&] { return failureOf(keychain.removeAll()); });
  timed("getString", [&]() -> std::optional<Status> {
    return keychain.getString("openAiKey") ? std::nullopt : std::optional(Status::itemNotFound);
  });
  timed("allKeys", [&]() -> std::optional<Status> {
    return keychain.allKeys().empty() ? std::optional(Status::itemNotFound) : std::nullopt;
  });
  return 0;
}

// Answers nothing: calls to the registered object wait for a main loop that never runs.
int squat() {
  GError* error = nullptr;
  GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
  if (!bus) {
    std::fprintf(stderr, "squat: %s\n", error->message);
    return 1;
  }
  static const char* kIntrospection =
      "<node><interface name='org.freedesktop.Secret.Service'>"
      "<method name='OpenSession'><arg type='s' direction='in'/><arg type='v' direction='in'/>"
      "<arg type='v' direction='out'/><arg type='o' direction='out'/></method>"
      "</interface></node>";
  GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kIntrospection, nullptr);
  static const GDBusInterfaceVTable kVTable = {};
  g_dbus_connection_register_object(bus, "/org/freedesktop/secrets", node->interfaces[0], &kVTable,
                                    nullptr, nullptr, nullptr);
  GVariant* reply = g_dbus_connection_call_sync(
      bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "RequestName",
      g_variant_new("(su)", "org.freedesktop.secrets", 4u), G_VARIANT_TYPE("(u)"),
      G_DBUS_CALL_FLAGS_NONE, -1, nullptr, &error);
  if (!reply) {
    std::fprintf(stderr, "squat: %s\n", error->message);
    return 1;
  }
  g_variant_unref(reply);
  std::printf("ready\n");
  std::fflush(stdout);
  char buffer[64];
  while (read(STDIN_FILENO, buffer, sizeof buffer) > 0) {
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "run" && argc == 4)
    return run(argv[2], std::chrono::milliseconds(std::stoll(argv[3])));
  if (mode == "squat") return squat();
  std::fprintf(stderr, "usage: keychain_offline_probe run SECRET TIMEOUT_MS | squat\n");
  return 2;
}
