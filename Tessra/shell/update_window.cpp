#include "Tessra/shell/update_window.h"

#include <QDialogButtonBox>
#include <QEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "Tessra/localized_text/localized_text.h"
#include "Tessra/shell/app_delegate.h"
#include "Tessra/ui_foundation/plain_text.h"
#include "platform/ui/own_size_window.h"

namespace tessra {

UpdateWindow::UpdateWindow(QWidget* parent)
    : QDialog(parent, Qt::Window),
      m_title(plainLabel({}, this)),
      m_detail(plainLabel({}, this)),
      m_open(new QPushButton(LocalizedText::General::update(), this)) {
  setWindowTitle(LocalizedText::General::tessraAI());
  setAttribute(Qt::WA_DeleteOnClose);
  QFont titleFont = m_title->font();
  titleFont.setBold(true);
  titleFont.setPointSizeF(titleFont.pointSizeF() * 1.2);
  m_title->setFont(titleFont);
  m_detail->setWordWrap(true);
  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton(m_open, QDialogButtonBox::AcceptRole);
  buttons->addButton(QDialogButtonBox::Close)->setText(LocalizedText::forKey(u"Close"));
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(m_open, &QPushButton::clicked, this, [this] {
    if (m_update) openURL(m_update->url.toString());
    accept();
  });
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_title);
  layout->addWidget(m_detail);
  layout->addWidget(buttons);
  setMinimumWidth(380);
  platform::keepOwnSizeOnTilingManagers(this);
}

void UpdateWindow::showUpdate(const UpdateItem& update) {
  m_update = update;
  setTexts(LocalizedText::General::updaterTitle(),
           LocalizedText::General::updaterDescription(update.displayVersionString), true);
}

void UpdateWindow::showUpToDate(const QString& currentVersion) {
  m_update.reset();
  setTexts(LocalizedText::forKey(u"You're up to date"),
           LocalizedText::forKey(u"Tessra %1 is the newest version available.").arg(currentVersion),
           false);
}

void UpdateWindow::showFailure(const QString& reason) {
  m_update.reset();
  setTexts(LocalizedText::forKey(u"Update check failed"), reason, false);
}

void UpdateWindow::setTexts(const QString& title, const QString& detail, bool canOpen) {
  m_title->setText(title);
  m_detail->setText(detail);
  m_open->setVisible(canOpen);
}

void UpdateWindow::changeEvent(QEvent* event) {
  QDialog::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isActiveWindow()) emit attended();
}

}  // namespace tessra
