#include "Tessra/shell/shell_test_support.h"

#include <QProcess>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "Tessra/storage/chat_attachment.h"
#include "Tessra/storage/notification_names.h"
#include "testing/scoped_env.h"
#include "testing/temp_dir.h"

namespace tessra::testing {
namespace {

// Each test process (CTest runs every case as one) gets settings and caches of its own, before
// anything reads them.
class PrivateFolders final : public ::testing::Environment {
 public:
  PrivateFolders()
      : m_config("XDG_CONFIG_HOME", (m_root / "config").string()),
        m_cache("XDG_CACHE_HOME", (m_root / "cache").string()),
        m_data("XDG_DATA_HOME", (m_root / "data").string()) {}

 private:
  TempDir m_root;
  ScopedEnv m_config;
  ScopedEnv m_cache;
  ScopedEnv m_data;
};

[[maybe_unused]] ::testing::Environment* const kPrivateFolders =
    ::testing::AddGlobalTestEnvironment(new PrivateFolders);

}  // namespace

bool xdotool(const QStringList& arguments) {
  QProcess process;
  process.start(QStringLiteral("xdotool"), arguments);
  return process.waitForFinished() && process.exitStatus() == QProcess::NormalExit &&
         process.exitCode() == 0;
}

bool clickAt(const QPoint& point) {
  return xdotool({QStringLiteral("mousemove"), QString::number(point.x()),
                  QString::number(point.y()), QStringLiteral("click"), QStringLiteral("1")});
}

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
  return QTest::qWaitFor(condition, static_cast<int>(timeout.count()));
}

ForeignWindow::ForeignWindow(const QRect& frame) : m_frame(frame) {
  xcb_connection_t* c = m_x.get();
  m_window = xcb_generate_id(c);
  const std::uint32_t values[] = {0x00808080, 1};  // grey background, override-redirect
  xcb_create_window(c, XCB_COPY_FROM_PARENT, m_window, m_x.rootWindow(),
                    static_cast<std::int16_t>(frame.x()), static_cast<std::int16_t>(frame.y()),
                    static_cast<std::uint16_t>(frame.width()),
                    static_cast<std::uint16_t>(frame.height()), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                    XCB_COPY_FROM_PARENT, XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT, values);
  xcb_map_window(c, m_window);
  free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));  // a round trip
}

ForeignWindow::~ForeignWindow() {
  xcb_destroy_window(m_x.get(), m_window);
  xcb_flush(m_x.get());
}

void ForeignWindow::takeKeyboard() {
  xcb_set_input_focus(m_x.get(), XCB_INPUT_FOCUS_PARENT, m_window, XCB_CURRENT_TIME);
  ASSERT_TRUE(hasKeyboard());
}

bool ForeignWindow::hasKeyboard() {
  xcb_connection_t* c = m_x.get();
  const std::unique_ptr<xcb_get_input_focus_reply_t, decltype(&std::free)> focus(
      xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr), &std::free);
  return focus && focus->focus == m_window;
}

PromptInputRecorder::PromptInputRecorder()
    : m_token(platform::NotificationCenter::defaultCenter().addObserver(
          std::string(notification_names::kFocusOnPromptInput),
          [this](const platform::Notification& notification) {
            const auto key = std::string(notification_names::kInputedTextKey);
            if (notification.payload.contains(key))
              texts.push_back(notification.payload[key].get<std::string>());
            if (std::any_cast<ChatAttachment>(&notification.object) != nullptr) ++attachments;
          })) {}

}  // namespace tessra::testing
