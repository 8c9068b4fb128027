#include "Tessra/shell/sounds.h"

namespace tessra::sounds {

const QString& popUrl() {
  static const QString kUrl = QStringLiteral("qrc:/sounds/pop.wav");
  return kUrl;
}

}  // namespace tessra::sounds
