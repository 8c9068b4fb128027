// Texts of the user's own making shown as menu entries, where Qt reads "&" as the mark of a
// shortcut letter: a conversation named "Salt & pepper" would show as "Salt _pepper".
//
//   menu->addAction(literalMenuText(conversationName));
#pragma once

#include <QString>

namespace tessra {

// `text` as a menu entry that shows every "&" as written.
inline QString literalMenuText(QString text) { return text.replace(u'&', QStringLiteral("&&")); }

}  // namespace tessra
