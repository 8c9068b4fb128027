// The large view of the pending attachment, shown when its chip is clicked: the image fitted into
// the view, or the text in an editable monospaced editor with "Cancel" and "Update". "Update"
// writes the edited text back into the attachment, keeping its image and name; "Cancel" and
// closing it any other way drop the edits. A text too long to lay out at once (a megabyte, or a
// line of a tenth of that: a long paste) shows its first 100 kB, read-only, without "Update". While
// it is on screen, stray key presses are not forwarded to the prompt. GUI thread only.
#pragma once

#include <QWidget>

#include <optional>

#include "Tessra/shell/floating_controller.h"

class QPlainTextEdit;
class QPushButton;

namespace tessra {

class PendingAttachment;

class ChatAttachmentPreview : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kSize = 600;

  explicit ChatAttachmentPreview(PendingAttachment* chatAttachment, QWidget* parent = nullptr);

  QPlainTextEdit* editor() const { return m_editor; }
  QWidget* imageView() const;
  QPushButton* cancelButton() const { return m_cancel; }
  QPushButton* updateButton() const { return m_update; }

 signals:
  // "Cancel" or "Update" was pressed; the presenter closes the view.
  void closeRequested();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void load();
  void applyEdits();

  PendingAttachment* m_chatAttachment;
  QWidget* m_box;
  class ImageView;
  ImageView* m_image;
  QPlainTextEdit* m_editor;
  QWidget* m_buttons;
  QPushButton* m_cancel;
  QPushButton* m_update;
  // Whether the editor holds the whole text.
  bool m_editable = true;
  std::optional<PromptKeyForwardingPause> m_forwardingPause;
};

}  // namespace tessra
