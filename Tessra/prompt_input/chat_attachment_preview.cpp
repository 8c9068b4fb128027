#include "Tessra/prompt_input/chat_attachment_preview.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "Tessra/prompt_input/attachment_image.h"
#include "Tessra/prompt_input/pending_attachment.h"
#include "Tessra/shell/floating_controller.h"
#include "Tessra/storage/constants.h"
#include "Tessra/ui_foundation/localized_text.h"

namespace tessra {

ChatAttachmentPreview::ChatAttachmentPreview(PendingAttachment* chatAttachment, QWidget* parent)
    : QWidget(parent),
      m_chatAttachment(chatAttachment),
      m_box(new QWidget),
      m_image(new QLabel),
      m_editor(new QPlainTextEdit),
      m_buttons(new QWidget),
      m_cancel(new QPushButton(LocalizedText::General::cancel())),
      m_update(new QPushButton(LocalizedText::General::update())) {
  setFixedSize(kSize, kSize);
  m_box->setObjectName(QStringLiteral("previewBox"));
  m_box->setStyleSheet(QStringLiteral("#previewBox { background: #2b2d31; border-radius: 8px; }"));
  m_image->setAlignment(Qt::AlignCenter);
  m_image->setMinimumSize(1, 1);
  QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  font.setPixelSize(14);
  m_editor->setFont(font);
  m_editor->setFrameShape(QFrame::NoFrame);
  m_editor->setStyleSheet(
      QStringLiteral("QPlainTextEdit { background: transparent; color: #b6bac0; }"));

  auto* boxLayout = new QVBoxLayout(m_box);
  boxLayout->setContentsMargins(4, 4, 4, 4);
  boxLayout->addWidget(m_image);
  boxLayout->addWidget(m_editor);
  auto* buttonLayout = new QHBoxLayout(m_buttons);
  buttonLayout->setContentsMargins(0, 0, 0, 8);
  buttonLayout->addStretch();
  buttonLayout->addWidget(m_cancel);
  buttonLayout->addWidget(m_update);
  buttonLayout->addStretch();
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  auto* boxPadding = new QVBoxLayout;
  boxPadding->setContentsMargins(8, 8, 8, 8);
  boxPadding->addWidget(m_box);
  layout->addLayout(boxPadding, 1);
  layout->addWidget(m_buttons);

  connect(m_cancel, &QPushButton::clicked, this, &ChatAttachmentPreview::closeRequested);
  connect(m_update, &QPushButton::clicked, this, [this] {
    applyEdits();
    emit closeRequested();
  });
  load();
}

void ChatAttachmentPreview::load() {
  const std::optional<ChatAttachment>& attachment = m_chatAttachment->value();
  const bool hasImage = attachment && attachment->image;
  m_pixmap = hasImage ? QPixmap::fromImage(decodedImage(attachment->image)) : QPixmap();
  m_image->setVisible(hasImage);
  m_editor->setVisible(!hasImage);
  m_editor->setPlainText(attachment && attachment->text ? QString::fromStdString(*attachment->text)
                                                        : QString());
  m_buttons->setVisible(attachment && attachment->text);
  fitImage();
}

void ChatAttachmentPreview::applyEdits() {
  std::optional<ChatAttachment> attachment = m_chatAttachment->value();
  if (!attachment || !attachment->text) return;
  attachment->text = m_editor->toPlainText().toStdString();
  m_chatAttachment->set(std::move(attachment));
}

void ChatAttachmentPreview::fitImage() {
  if (m_pixmap.isNull()) return;
  m_image->setPixmap(
      m_pixmap.scaled(m_image->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

void ChatAttachmentPreview::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), app_colors::colorFromHex("#383a3f"));
}

void ChatAttachmentPreview::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  load();
  setPromptKeyForwardingEnabled(false);
}

void ChatAttachmentPreview::hideEvent(QHideEvent* event) {
  setPromptKeyForwardingEnabled(true);
  QWidget::hideEvent(event);
}

void ChatAttachmentPreview::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  fitImage();
}

}  // namespace tessra
