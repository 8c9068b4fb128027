// Which kind of window a chat view or message page lives in. Only `master`, the floating chat
// window, is treated specially (its page follows the window's width and scrolls to the end on
// restore); `popUpAnswers` is the detached answer window.
#pragma once

namespace tessra {

enum class ChatSource { master, standalone, smartTextSelection, popUpAnswers };

}  // namespace tessra
