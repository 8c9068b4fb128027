#include "Tessra/chat_window/side_pane_view.h"

#include <QFrame>
#include <QHBoxLayout>

#include "Tessra/chat_window/first_appear_modifier.h"
#include "Tessra/storage/user_settings.h"
#include "Tessra/ui_foundation/palette.h"

namespace tessra {

SidePaneView::SidePaneView(QWidget* content, QWidget* menu, ChatSource source,
                           PopupPosition position, QWidget* parent)
    : QWidget(parent),
      m_content(content),
      m_pane(new QWidget(this)),
      m_layout(new QHBoxLayout(this)),
      m_source(source),
      m_position(position) {
  m_layout->setContentsMargins(0, 0, 0, 0);
  m_layout->setSpacing(0);
  content->setParent(this);

  m_pane->setFixedWidth(kPaneWidth);
  m_pane->setAutoFillBackground(true);
  QPalette colors = m_pane->palette();
  colors.setColor(QPalette::Window, palette::tertiaryBackground());
  m_pane->setPalette(colors);
  auto* paneLayout = new QHBoxLayout(m_pane);
  paneLayout->setContentsMargins(0, 0, 0, 0);
  paneLayout->setSpacing(0);
  auto* divider = new QFrame(m_pane);
  divider->setFrameShape(QFrame::VLine);
  divider->setFixedWidth(1);
  divider->setStyleSheet(
      QStringLiteral("background: %1; border: none;").arg(palette::divider().name()));
  paneLayout->addWidget(divider);
  setMenu(menu);
  m_pane->setVisible(false);
  arrange();
  onFirstAppear(this,
                [this] { setPresenting(UserSettings::shared().value(setting::sideBarVisible)); });

  UserSettings::shared().onValueChanged(setting::popupPosition, this,
                                        [this](PopupPosition position) {
                                          m_position = position;
                                          arrange();
                                        });
}

void SidePaneView::setMenu(QWidget* menu) {
  if (m_menu) delete m_menu;
  m_menu = menu;
  if (menu) m_pane->layout()->addWidget(menu);
}

bool SidePaneView::paneOnTrailingSide() const {
  return m_position == PopupPosition::right && m_source != ChatSource::standalone;
}

void SidePaneView::setPresenting(bool presenting) {
  if (presenting == m_isPresenting) return;
  m_isPresenting = presenting;
  m_pane->setVisible(presenting);
  // A failed write reaches the settings window as the settings' write error; the pane shows
  // either way.
  UserSettings::shared().setValue(setting::sideBarVisible, presenting);
  emit presentingChanged(presenting);
}

void SidePaneView::arrange() {
  m_layout->removeWidget(m_content);
  m_layout->removeWidget(m_pane);
  if (paneOnTrailingSide()) {
    m_layout->addWidget(m_content, 1);
    m_layout->addWidget(m_pane);
  } else {
    m_layout->addWidget(m_pane);
    m_layout->addWidget(m_content, 1);
  }
}

}  // namespace tessra
