// A short sound the program plays on an event (the panel's "pop"), loaded once and kept ready.
//
//   SoundEffect pop(QUrl("qrc:/sounds/pop.wav"));
//   if (pop.isUsable()) pop.play();
//
// It plays uncompressed WAV data through the desktop's audio output. A source that cannot be
// read, or an audio output that fails, is logged once with "Failed to initialize the audio
// player: " and the reason; the effect then stays silent and `play()` does nothing. GUI thread
// only.
#pragma once

#include <QObject>
#include <QUrl>

#include <memory>

class QSoundEffect;

namespace tessra::platform {

class SoundEffect final : public QObject {
  Q_OBJECT

 public:
  explicit SoundEffect(const QUrl& source, QObject* parent = nullptr);
  ~SoundEffect() override;

  // False once loading failed; true while loading and when ready.
  bool isUsable() const { return m_usable; }
  // Starts the sound from its beginning (a sound still playing starts over).
  void play();

 signals:
  // The source could not be played; emitted once.
  void failed(const QString& reason);

 private:
  void fail(const QString& reason);

  QSoundEffect* m_effect = nullptr;
  bool m_usable = true;
};

}  // namespace tessra::platform
