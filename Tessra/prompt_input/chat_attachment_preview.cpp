#include "Tessra/prompt_input/chat_attachment_preview.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <string>
#include <string_view>

#include "Tessra/localized_text/localized_text.h"
#include "Tessra/prompt_input/attachment_image.h"
#include "Tessra/prompt_input/monospaced_font.h"
#include "Tessra/prompt_input/pending_attachment.h"
#include "Tessra/shell/floating_controller.h"
#include "Tessra/ui_foundation/palette.h"
#include "Tessra/ui_foundation/plain_text.h"
#include "platform/foundation/utf8.h"

namespace tessra {

namespace {

// The editor lays a text out whole, and each line as a whole: a megabyte takes a good part of a
// second, one line of a megabyte half a second per keystroke. A text within these bounds is
// edited; a longer one shows its beginning, read-only, since an edit could not keep the rest.
constexpr std::size_t kMaxEditableBytes = 1'000'000;
constexpr std::size_t kMaxEditableLineBytes = 100'000;
constexpr std::size_t kShownBytes = 100'000;

bool isEditable(std::string_view text) {
  if (text.size() > kMaxEditableBytes) return false;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    if (end - start > kMaxEditableLineBytes) return false;
    start = end + 1;
  }
  return true;
}

}  // namespace

// The image fitted into the view, its aspect kept.
class ChatAttachmentPreview::ImageView : public QWidget {
 public:
  void setImage(QImage image) {
    m_image = std::move(image);
    update();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    if (m_image.isNull()) return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QSize fitted = m_image.size().scaled(size(), Qt::KeepAspectRatio);
    painter.drawImage(
        QRect(QPoint((width() - fitted.width()) / 2, (height() - fitted.height()) / 2), fitted),
        m_image);
  }

 private:
  QImage m_image;
};

ChatAttachmentPreview::ChatAttachmentPreview(PendingAttachment* chatAttachment, QWidget* parent)
    : QWidget(parent),
      m_chatAttachment(chatAttachment),
      m_box(new QWidget),
      m_image(new ImageView),
      m_editor(new PlainTextArea),
      m_buttons(new QWidget),
      m_cancel(new QPushButton(LocalizedText::General::cancel())),
      m_update(new QPushButton(LocalizedText::General::update())) {
  setFixedSize(kSize, kSize);
  m_box->setObjectName(QStringLiteral("previewBox"));
  m_box->setStyleSheet(QStringLiteral("#previewBox { background: %1; border-radius: 8px; }")
                           .arg(palette::secondaryBackground().name()));
  m_editor->setFont(monospacedFont(14));
  m_editor->setFrameShape(QFrame::NoFrame);
  m_editor->setStyleSheet(QStringLiteral("QPlainTextEdit { background: transparent; color: %1; }")
                              .arg(palette::secondaryText().name()));

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
  m_image->setImage(hasImage ? decodedImage(attachment->image) : QImage());
  m_image->setVisible(hasImage);
  m_editor->setVisible(!hasImage);
  const std::string_view text =
      attachment && attachment->text ? std::string_view(*attachment->text) : std::string_view();
  m_editable = isEditable(text);
  const std::string_view shown =
      m_editable ? text : text.substr(0, platform::completeUtf8Prefix(text.substr(0, kShownBytes)));
  m_editor->setPlainText(QString::fromUtf8(shown.data(), static_cast<qsizetype>(shown.size())));
  m_editor->setReadOnly(!m_editable);
  m_buttons->setVisible(attachment && attachment->text);
  m_update->setVisible(m_editable);
}

QWidget* ChatAttachmentPreview::imageView() const { return m_image; }

void ChatAttachmentPreview::applyEdits() {
  std::optional<ChatAttachment> attachment = m_chatAttachment->value();
  if (!attachment || !attachment->text || !m_editable) return;
  attachment->text = m_editor->toPlainText().toStdString();
  m_chatAttachment->set(std::move(attachment));
}

void ChatAttachmentPreview::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette::raisedBackground());
}

void ChatAttachmentPreview::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  load();
  m_forwardingPause.emplace();
}

void ChatAttachmentPreview::hideEvent(QHideEvent* event) {
  m_forwardingPause.reset();
  QWidget::hideEvent(event);
}

}  // namespace tessra
