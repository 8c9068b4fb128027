#include "platform/ui/sound_effect.h"

#include <QFile>
#include <QSoundEffect>

#include "platform/foundation/logger.h"

namespace tessra::platform {
namespace {

QString localPath(const QUrl& url) {
  if (url.scheme() == u"qrc") return u':' + url.path();
  return url.toLocalFile();
}

}  // namespace

SoundEffect::SoundEffect(const QUrl& source, QObject* parent) : QObject(parent) {
  const QString path = localPath(source);
  if (path.isEmpty() || !QFile::exists(path)) {
    fail(QStringLiteral("no sound at %1").arg(source.toString()));
    return;
  }
  m_effect = new QSoundEffect(this);
  connect(m_effect, &QSoundEffect::statusChanged, this, [this] {
    if (m_effect->status() == QSoundEffect::Error)
      fail(QStringLiteral("cannot decode or play %1").arg(m_effect->source().toString()));
  });
  m_effect->setSource(source);
}

SoundEffect::~SoundEffect() = default;

void SoundEffect::play() {
  if (!m_usable || m_effect == nullptr) return;
  m_effect->stop();
  m_effect->play();
}

void SoundEffect::fail(const QString& reason) {
  if (!m_usable) return;
  m_usable = false;
  logError("Failed to initialize the audio player: {}", reason.toStdString());
  emit failed(reason);
}

}  // namespace tessra::platform
