// Where a pending attachment comes from: the clipboard (paste), the file picker and a drop. Each
// only makes a `ChatAttachment`; none stores anything.
//
//   if (std::optional<ChatAttachment> attachment = fromPasteboard()) onPaste(*attachment);
//   else editor->paste();   // an ordinary text paste
//
// Files are read only when they are local regular files: an image of a supported type (by any
// extension of its type or by its content), else UTF-8 text of at most `kMaxTextFileBytes`.
// Nothing is ever fetched from the network. GUI thread only (the clipboard belongs to it).
#pragma once

#include <QList>
#include <QString>
#include <QUrl>

#include <cstddef>
#include <expected>
#include <optional>

#include "Tessra/storage/chat_attachment.h"

class QMimeData;

namespace tessra {

inline constexpr std::size_t kMaxTextFileBytes = 8 * 1024 * 1024;
// A pasted text of more pieces than this (split at every line break) becomes an attachment.
inline constexpr std::size_t kMaxPastedTextPieces = 100;

// The names the sources give; what is pasted is named after the clipboard it came from.
inline constexpr const char* kPasteboardFileName = "Clipboard";
inline constexpr const char* kLongTextFileName = "Clipboard - Long Text";
inline constexpr const char* kScreenshotFileName = "Screenshot";

// What pasting `mime` attaches, in this order: the first URL that is an image file, the first
// URL's text, raw image data (when there are no URLs), a text of more than 100 pieces. Absent
// tells the caller to paste as usual.
std::optional<ChatAttachment> fromPasteboard(const QMimeData* mime);
// The same over the clipboard.
std::optional<ChatAttachment> fromPasteboard();

// What the file picker's result attaches: the first file, as an image when it is one, else as
// UTF-8 text. An error is logged and attaches nothing.
std::optional<ChatAttachment> fromFileImportResult(
    const std::expected<QList<QUrl>, QString>& result);

// What a drop of `mime` attaches: the first file (image or text) with its name, else the image
// when it decodes, else the text, both without a name.
std::optional<ChatAttachment> fromDrop(const QMimeData* mime);

}  // namespace tessra
