// What the message page posts, as the program receives it: the web channel's message from the
// page, the call of the "handler" object it makes, and the file the page asks to open (the one
// request whose data reaches the file system).
//
// Input: one message of the web channel, as the page's side of the channel sends it, with the
// run's files folder written "$FILES".
// Rules: a file the page names is opened only when it is a regular file inside the attachment
// files folder, however its URL spells the path (encoded "..", a symbolic link out, a folder).
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QWebChannel>
#include <QWebChannelAbstractTransport>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "Tessra/chat_window/attachment_files.h"
#include "Tessra/chat_window/page_bridge.h"
#include "Tessra/storage/paths.h"
#include "fuzz/fuzz_support.h"

namespace {

using namespace tessra;

// The program's end of the channel; its answers to the page go nowhere.
class PageTransport final : public QWebChannelAbstractTransport {
 public:
  void sendMessage(const QJsonObject&) override {}
  void receive(const QJsonObject& message) { emit messageReceived(message, this); }
};

struct Channel {
  QWebChannel channel;
  PageBridge bridge;
  PageTransport transport;
  QString filesFolder;
};

Channel* channel = nullptr;

void openFile(const QJsonValue& body) {
  const QJsonValue path = body.toObject().value(QLatin1String("path"));
  if (!path.isString()) return;
  const auto file = attachmentFilePath(QUrl(path.toString(), QUrl::StrictMode), "open");
  if (!file) return;
  FUZZ_CHECK(file->startsWith(channel->filesFolder + u'/'));
  FUZZ_CHECK(QFileInfo(*file).isFile());
  FUZZ_CHECK(QFileInfo(*file).canonicalFilePath() == *file);
}

// A files folder with what a hostile URL would reach for: a picture, a folder, links out of the
// folder, and a secret beside it.
void makeFilesFolder() {
  namespace fs = std::filesystem;
  const fs::path files = fs::path(Paths::filesDirectory().rawValue()).parent_path();
  fs::create_directories(files / "folder");
  std::ofstream(files / "a.jpg") << "picture";
  std::ofstream(files / "folder" / "b.jpg") << "picture";
  std::ofstream(files.parent_path() / "secret") << "secret";
  fs::create_symlink("../secret", files / "out.jpg");
  fs::create_directory_symlink("..", files / "up");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  fuzz::quietLogs();
  // The channel warns of every malformed message it drops.
  qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
  ::setenv("TESSRA_DATA_DIR", fuzz::scratchFolder().c_str(), 1);
  static QCoreApplication application(*argc, *argv);
  makeFilesFolder();
  channel = new Channel;
  channel->filesFolder =
      QFileInfo(QString::fromStdString(Paths::filesDirectory().rawValue())).canonicalFilePath();
  channel->channel.registerObject(QStringLiteral("handler"), &channel->bridge);
  channel->channel.connectTo(&channel->transport);
  QObject::connect(&channel->bridge, &PageBridge::posted, openFile);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Inputs spell the run's files folder "$FILES", so that they name its files wherever it is.
  QByteArray text(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  text.replace("$FILES", channel->filesFolder.toUtf8());
  const QJsonDocument message = QJsonDocument::fromJson(text);
  if (!message.isObject()) return 0;
  channel->transport.receive(message.object());
  QCoreApplication::sendPostedEvents();
  return 0;
}
