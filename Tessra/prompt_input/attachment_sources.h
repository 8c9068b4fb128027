// Where a pending attachment comes from: the clipboard (paste), the file picker and a drop. Each
// only makes an `AttachmentOffer`; none stores anything.
//
//   const std::unique_ptr<QMimeData> pasted = copyForPaste(clipboard->mimeData());
//   const AttachmentOffer offer = fromPasteboard(pasted.get());
//   if (const auto* attachment = std::get_if<ChatAttachment>(&offer)) onPaste(*attachment);
//   else if (std::holds_alternative<UnreadableImage>(offer)) tellTheUser();
//   else insertText(pasted->text());   // an ordinary text paste
//
// Files are read only when they are local regular files: an image of a supported type (by any
// extension of its type or by its content), else UTF-8 text of at most `kMaxTextFileBytes`. An
// image that does not decode (damaged, or too large: the reader refuses more than its allocation
// limit) is offered as an `UnreadableImage`, never dropped without a word. Nothing is ever
// fetched from the network. GUI thread only (the clipboard belongs to it).
#pragma once

#include <QList>
#include <QString>
#include <QUrl>

#include <cstddef>
#include <expected>
#include <memory>
#include <optional>

#include "Tessra/storage/chat_attachment.h"

class QMimeData;

namespace tessra {

inline constexpr std::size_t kMaxTextFileBytes = 8 * 1024 * 1024;
// A pasted text of more pieces than this (split at every line break) becomes an attachment.
inline constexpr std::size_t kMaxPastedTextPieces = 100;
// So does one longer than this many UTF-16 code units, whatever its lines: the prompt lays out
// and wraps a line as a whole, at a cost that grows faster than the line, so a paste of a
// megabyte on one line holds the window for half a minute, where one of this length costs about
// a third of a second.
inline constexpr qsizetype kMaxPastedTextLength = 100'000;

// The names the sources give; what is pasted is named after the clipboard it came from.
inline constexpr const char* kPasteboardFileName = "Clipboard";
inline constexpr const char* kLongTextFileName = "Clipboard - Long Text";
inline constexpr const char* kScreenshotFileName = "Screenshot";

// What a paste reads of `source` (its URLs, its image and its text), copied into data of our own.
// Each format of another program's clipboard is fetched from that program while Qt waits, and the
// program may serve one read only, or go away or hand the clipboard on meanwhile: what it then
// offers is no longer what it listed, and Qt's own text paste reads the first of its formats
// without looking whether there is one. So a paste reads its source once, through this copy, and
// only the copy after that; a source that served nothing gives a copy without formats.
std::unique_ptr<QMimeData> copyForPaste(const QMimeData* source);

// What pasting `mime` offers, in this order: the first URL that is an image file, the first
// URL's text, raw image data (when there are no URLs), a text of more than 100 pieces or longer
// than `kMaxPastedTextLength`. Raw image data that does not decode is unreadable unless there is
// a text to paste instead. Nothing tells the caller to paste as usual.
AttachmentOffer fromPasteboard(const QMimeData* mime);

// What the file picker's result offers: the first file, as an image when it is of an image type,
// else as UTF-8 text. An error is logged and offers nothing.
AttachmentOffer fromFileImportResult(const std::expected<QList<QUrl>, QString>& result);

// Whether a drop of `mime` could offer anything: files, image data (Qt's image, or the bytes of
// an image type as other programs offer them) or text.
bool offersAttachment(const QMimeData* mime);

// What a drop of `mime` offers: the first file (image or text) with its name, else the image
// when it decodes, else the text, both without a name; an image that does not decode with no
// text beside it is unreadable.
AttachmentOffer fromDrop(const QMimeData* mime);

}  // namespace tessra
