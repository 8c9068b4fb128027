#include "Tessra/shell/open_tessra_global.h"

namespace tessra {

const shortcuts::Name& openTessraGlobal() {
  static const shortcuts::Name name("openTessraGlobal",
                                    shortcuts::Shortcut(shortcuts::Key::space, Qt::AltModifier));
  return name;
}

}  // namespace tessra
