#include "Tessra/prompt_input/chat_attachment_button.h"

#include <QFileDialog>
#include <QGuiApplication>
#include <QMenu>
#include <QMimeDatabase>
#include <QPixmap>
#include <QWindow>

#include "Tessra/prompt_input/attachment_image.h"
#include "Tessra/prompt_input/attachment_sources.h"
#include "Tessra/prompt_input/attachment_types.h"
#include "Tessra/prompt_input/pending_attachment.h"
#include "Tessra/ui_foundation/line_symbols.h"
#include "Tessra/ui_foundation/palette.h"
#include "Tessra/ui_foundation/plain_text.h"
#include "platform/foundation/utf8.h"
#include "platform/ui/keyboard_focus.h"
#include "platform/ui/window_capture.h"
#include "platform/ui/window_list.h"

namespace tessra {

namespace {

template <class... Ts>
struct Overloaded : Ts... {
  using Ts::operator()...;
};

// One filter over every image and text type an attachment may have.
QString importerFilter() {
  QMimeDatabase database;
  QStringList patterns;
  const auto add = [&](std::span<const ContentType> types) {
    for (const ContentType& type : types) {
      const QMimeType mime = database.mimeTypeForName(QString::fromUtf8(type.mimeType));
      for (const QString& pattern : mime.globPatterns())
        if (!patterns.contains(pattern)) patterns.append(pattern);
    }
  };
  add(supported_types::images());
  add(supported_types::textFiles());
  return QStringLiteral("Images and text (%1)").arg(patterns.join(u' '));
}

// The windows of ours that stand above all others (the panel, the panels it opens, the side
// button): a capture leaves them out, as it would have taken the screen beneath them. Windows a
// window manager keeps in the stacking order stay in the picture, and are never withdrawn from
// their manager by an unmap.
std::vector<xcb_window_t> ourOverlayWindows() {
  std::vector<xcb_window_t> windows;
  for (QWindow* window : QGuiApplication::topLevelWindows()) {
    if (window->isVisible() && platform::bypassesWindowManager(*window))
      windows.push_back(static_cast<xcb_window_t>(window->winId()));
  }
  return windows;
}

}  // namespace

ChatAttachmentButton::ChatAttachmentButton(PendingAttachment* chatAttachment, QWidget* parent)
    : QToolButton(parent), m_chatAttachment(chatAttachment) {
  setAutoRaise(true);
  setFixedSize(kSize, kSize);
  setIcon(lineSymbol(u"paperclip", palette::faintText()));
  setToolTip(QStringLiteral("Attach File"));
  setAccessibleName(QStringLiteral("Attach File"));
  connect(this, &QToolButton::clicked, this, &ChatAttachmentButton::showContextMenu);
}

QString ChatAttachmentButton::menuTitle(const std::string& title) {
  std::string shown = title;
  if (platform::graphemeCount(title) > kMaxTitleLength)
    shown = platform::prefixGraphemes(title, kMaxTitleLength) + "...";
  return menuText(QString::fromStdString(shown));
}

QMenu* ChatAttachmentButton::makeContextMenu() {
  auto* menu = new QMenu(this);
  menu->setAttribute(Qt::WA_DeleteOnClose);
  const auto addAction = [this](QMenu* target, const QString& text,
                                AttachmentContextMenuAction action) {
    QAction* item = target->addAction(text);
    item->setData(QVariant::fromValue(action));
    connect(item, &QAction::triggered, this,
            [this, item] { onOptionSelected(item->data().value<AttachmentContextMenuAction>()); });
    return item;
  };
  addAction(menu, QStringLiteral("Upload File"), {AttachmentContextMenuAction::UploadFile{}});
  QMenu* windows = menu->addMenu(QStringLiteral("Take Screenshot"));
  windows->setTitle(QStringLiteral("Take Screenshot"));
  windows->setObjectName(QStringLiteral("Windows"));
  for (const platform::WindowInfo& window : platform::listWindows()) {
    QAction* item = addAction(windows, menuTitle(window.title()),
                              {AttachmentContextMenuAction::TakeScreenshotWindow{window.window}});
    if (!window.icon.isNull()) item->setIcon(QPixmap::fromImage(window.icon));
  }
  windows->addSeparator();
  addAction(windows, QStringLiteral("Entire Screen"),
            {AttachmentContextMenuAction::TakeScreenshot{}});
  return menu;
}

void ChatAttachmentButton::showContextMenu() {
  makeContextMenu()->popup(mapToGlobal(QPoint(0, height())));
}

void ChatAttachmentButton::onOptionSelected(const AttachmentContextMenuAction& action) {
  std::visit(Overloaded{
                 [this](AttachmentContextMenuAction::UploadFile) { openFileImporter(); },
                 [this](AttachmentContextMenuAction::TakeScreenshot) {
                   const std::vector<xcb_window_t> ours = ourOverlayWindows();
                   if (std::optional<QImage> shot = platform::captureScreen(ours))
                     if (auto attachment = imageAttachment(*shot, kScreenshotFileName))
                       m_chatAttachment->set(std::move(attachment));
                 },
                 [this](AttachmentContextMenuAction::TakeScreenshotWindow window) {
                   const std::vector<xcb_window_t> ours = ourOverlayWindows();
                   if (std::optional<QImage> shot = platform::captureWindow(window.window, ours))
                     if (auto attachment = imageAttachment(*shot, kScreenshotFileName))
                       m_chatAttachment->set(std::move(attachment));
                 },
             },
             action.value);
}

void ChatAttachmentButton::openFileImporter() {
  if (m_fileImporter) {
    m_fileImporter->raise();
    return;
  }
  m_fileImporter = new QFileDialog(this);
  m_fileImporter->setAttribute(Qt::WA_DeleteOnClose);
  m_fileImporter->setOption(QFileDialog::DontUseNativeDialog);
  m_fileImporter->setFileMode(QFileDialog::ExistingFile);
  m_fileImporter->setNameFilter(importerFilter());
  connect(m_fileImporter, &QDialog::accepted, this,
          [this] { m_chatAttachment->take(fromFileImportResult(m_fileImporter->selectedUrls())); });
  connect(m_fileImporter, &QObject::destroyed, this, [this] { m_fileImporter = nullptr; });
  m_fileImporter->open();
}

}  // namespace tessra
