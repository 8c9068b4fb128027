// The paperclip beside the prompt. A click opens its menu: "Upload File" opens the file picker;
// "Take Screenshot" lists the other programs' windows and "Entire Screen". What is chosen becomes
// the pending attachment; a cancelled picker or a failed capture leaves it as it was. A capture
// takes the screen as it stands beneath the panel (platform/ui/window_capture.h), and the panel
// is back, with the keyboard where it was, when it ends.
// The menu is built afresh on every click, so the window list is current. GUI thread only.
#pragma once

#include <QToolButton>

#include <cstdint>
#include <variant>

class QFileDialog;
class QMenu;

namespace tessra {

class PendingAttachment;

// What a menu item asks for.
struct AttachmentContextMenuAction {
  struct TakeScreenshotWindow {
    std::uint32_t window;
  };
  struct UploadFile {};
  // The entire screen, without the program's windows that stand above all others.
  struct TakeScreenshot {};
  std::variant<TakeScreenshotWindow, UploadFile, TakeScreenshot> value;
};

class ChatAttachmentButton : public QToolButton {
  Q_OBJECT

 public:
  static constexpr int kSize = 22;
  // Window titles longer than this many characters are cut and end with "...".
  static constexpr std::size_t kMaxTitleLength = 60;

  explicit ChatAttachmentButton(PendingAttachment* chatAttachment, QWidget* parent = nullptr);

  // The menu a click shows (made anew each time).
  QMenu* makeContextMenu();
  void onOptionSelected(const AttachmentContextMenuAction& action);
  // The picker of the last "Upload File", while it is open.
  QFileDialog* fileImporter() const { return m_fileImporter; }

  // The menu text of a window title: cut to 60 characters, "&" kept as itself.
  static QString menuTitle(const std::string& title);

 private:
  void showContextMenu();
  void openFileImporter();

  PendingAttachment* m_chatAttachment;
  QFileDialog* m_fileImporter = nullptr;
};

}  // namespace tessra

Q_DECLARE_METATYPE(tessra::AttachmentContextMenuAction)
