// What a user of the program's shown panel does and sees, for the whole-program tests that open
// its menus and dialogs as people do: where its buttons stand, a returning user's conversations,
// and whether the chat has slid in.
//
//   testing::writeReturningUsersConversations(tessra.dataFolder());  // before the start
//   const QImage header = testing::stillPanelHeader(frame);          // null: it never stood still
//   testing::xdotool(testing::clickThen(frame.bottomRight() + testing::kAttachFromBottomRight));
#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QStringList>

#include <cstddef>
#include <filesystem>

namespace tessra::testing {

// Where the user clicks, from the panel's corners: the paperclip, left of the side list, and the
// first conversation in the side list, at the panel's right.
inline constexpr QPoint kAttachFromBottomRight(-228, -67);
inline constexpr QPoint kFirstConversationFromTopRight(-100, 17);
// "Open in Window" under the answer of the returning user's conversation (below), from the panel's
// top left.
inline constexpr QPoint kOpenInWindowFromTopLeft(370, 164);

// xdotool's arguments for a click of the left button at `at`.
QStringList clickThen(QPoint at);

// "Sorting notes", one question answered, which the program opens, and "Plans", empty, so that the
// side list offers to delete one: written into the program's data folder before it starts.
void writeReturningUsersConversations(const std::filesystem::path& dataFolder);
// How many conversations the program's list holds on disk (0 while it cannot be read).
std::size_t storedConversations(const std::filesystem::path& dataFolder);

// The conversation's name at the top left of the panel at `frame`, as the screen shows it now.
QImage panelHeader(const QRect& frame);
// The same once it has not moved for longer than a slide takes, the chat slid in: until then a
// click meant for one of its buttons lands beside it. Null when it never stood still.
QImage stillPanelHeader(const QRect& frame);

}  // namespace tessra::testing
