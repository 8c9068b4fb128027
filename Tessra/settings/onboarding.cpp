#include "Tessra/settings/onboarding.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>
#include <QStyle>
#include <QVBoxLayout>

#include "Tessra/localized_text/localized_text.h"
#include "Tessra/settings/artwork.h"
#include "Tessra/settings/form_support.h"
#include "Tessra/settings/login_launch.h"
#include "Tessra/shell/app_delegate.h"
#include "Tessra/ui_foundation/button_styles.h"
#include "Tessra/ui_foundation/confirm.h"
#include "Tessra/ui_foundation/palette.h"
#include "Tessra/ui_foundation/plain_text.h"
#include "Tessra/ui_foundation/small_views.h"
#include "platform/ui/own_size_window.h"
#include "platform/ui/screens.h"
#include "platform/ui/window_frame.h"

namespace tessra {

namespace {

constexpr OnboardingPages kFirstPage = OnboardingPages::welcome;
constexpr OnboardingPages kLastPage = OnboardingPages::launchAtLogin;

QColor withAlpha(QColor color, qreal alpha) {
  color.setAlphaF(alpha);
  return color;
}

CircleButton* navigationButton(const QString& glyph, const QColor& base, QWidget* parent) {
  auto* button =
      new CircleButton(glyph, withAlpha(base, 0.8), base, withAlpha(base, 0.6), Qt::white, parent);
  QFont font = button->font();
  font.setPixelSize(15);
  font.setBold(true);
  button->setFont(font);
  button->setCursor(Qt::PointingHandCursor);
  return button;
}

QLabel* text(const QString& content, const QString& style, QWidget* parent) {
  auto* label = plainLabel(content, parent);
  label->setWordWrap(true);
  label->setAlignment(Qt::AlignCenter);
  label->setStyleSheet(style);
  return label;
}

// An illustrated page: picture, title, description and an optional footer.
QWidget* onboardPage(const QString& imageNamed, const QString& title, const QString& description,
                     QWidget* footerView) {
  auto* page = new QWidget;
  auto* column = new QVBoxLayout(page);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  auto* image = plainLabel({}, page);
  image->setObjectName(QStringLiteral("pageImage"));
  image->setFixedHeight(220);
  image->setAlignment(Qt::AlignCenter);
  const QSize imageSize(OnboardingView::kWidth - 2 * 36 - 2 * 11, 220);
  const QPixmap picture = artwork::image(imageNamed, imageSize, 2.0);
  if (!picture.isNull()) {
    // Rounded like a card, as the picture has no corners of its own.
    QPixmap rounded(picture.size());
    rounded.setDevicePixelRatio(picture.devicePixelRatio());
    rounded.fill(Qt::transparent);
    QPainter painter(&rounded);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath clip;
    clip.addRoundedRect(QRectF(QPointF(), QSizeF(imageSize)), 20, 20);
    painter.setClipPath(clip);
    painter.drawPixmap(0, 0, picture);
    painter.end();
    image->setPixmap(rounded);
  }
  column->addWidget(image);
  column->addSpacing(16);
  column->addWidget(text(
      title,
      QStringLiteral("color: %1; font-size: 18px; font-weight: bold;").arg(palette::text().name()),
      page));
  column->addSpacing(16);
  column->addWidget(text(
      description,
      QStringLiteral("color: %1; font-size: 15px;").arg(palette::secondaryText().name()), page));
  if (footerView) {
    footerView->setParent(page);
    column->addWidget(footerView);
  }
  column->addStretch(1);
  return page;
}

QWidget* welcomePage() {
  auto* page = new QWidget;
  auto* column = new QVBoxLayout(page);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  column->addStretch(1);
  if (artwork::hasImage(QStringLiteral("AppIcon"))) {
    auto* icon = plainLabel({}, page);
    icon->setObjectName(QStringLiteral("appIcon"));
    icon->setPixmap(artwork::image(QStringLiteral("AppIcon"), QSize(200, 200), 2.0));
    column->addWidget(icon, 0, Qt::AlignHCenter);
    column->addSpacing(16);
  }
  column->addWidget(text(LocalizedText::forKey(u"🎉 Welcome to Tessra AI"),
                         QStringLiteral("color: white; font-size: 24px; font-weight: 600;"), page));
  column->addSpacing(16);
  column->addWidget(text(
      LocalizedText::forKey(u"Your companion for revolutionizing the way you interact with AI "
                            u"on your computer!"),
      QStringLiteral("color: %1; font-size: 15px;").arg(palette::secondaryText().name()), page));
  column->addStretch(1);
  return page;
}

// The launch-at-login switch of the last page.
QWidget* launchItView() {
  auto* form = new QWidget;
  auto* column = new QVBoxLayout(form);
  column->setContentsMargins(0, 16, 0, 0);
  QWidget* card = sectionCard(form);
  auto* rows = new QVBoxLayout(card);
  rows->setContentsMargins(12, 10, 12, 10);
  auto* toggle = new SettingsToggleView(
      LocalizedText::Settings::General::launchAtLogin(),
      {[] { return LoginLaunch::isEnabled(); }, [](bool on) { LoginLaunch::setEnabled(on); }},
      card);
  toggle->setObjectName(QStringLiteral("launchAtLogin"));
  QObject::connect(&LoginLaunch::observable(), &LoginLaunch::Observable::isEnabledChanged, toggle,
                   &SettingsToggleView::refresh);
  rows->addWidget(toggle);
  column->addWidget(card);
  return form;
}

QWidget* buildPage(OnboardingPages page) {
  switch (page) {
    case OnboardingPages::welcome:
      return welcomePage();
    case OnboardingPages::alwaysOn:
      return onboardPage(
          QStringLiteral("OnboardingAlwaysOn"),
          LocalizedText::forKey(u"👊 Your AI-powered sidekick"),
          LocalizedText::forKey(
              u"Always accessible on the side of your screen, it appears when you click on the "
              u"tray or the small indicator on the screen border. Tessra AI unlocks the full "
              u"potential of advanced language models like ChatGPT."),
          nullptr);
    case OnboardingPages::multipleConversations:
      return onboardPage(
          QStringLiteral("OnboardingConversations"), LocalizedText::forKey(u"📚 Conversations"),
          LocalizedText::forKey(
              u"Effortlessly manage your conversations, initiate new ones for various contexts, "
              u"or rearrange existing discussions to suit your needs. Maintain your insights in "
              u"an organized and readily accessible manner for when they're most needed."),
          nullptr);
    case OnboardingPages::launchAtLogin:
      return onboardPage(
          QStringLiteral("OnboardingLoginLaunch"),
          LocalizedText::forKey(u"🖥️ Launch at Login"),
          LocalizedText::forKey(
              u"Boost your productivity by enabling automatic launch at login. Just check the "
              u"box below and ensure Tessra is always ready when you are!"),
          launchItView());
  }
  return nullptr;
}

}  // namespace

OnboardingView::OnboardingView(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("onboarding"));
  setFixedSize(kWidth, kHeight);
  setAttribute(Qt::WA_StyledBackground);
  setStyleSheet(QStringLiteral("QWidget#onboarding { background: %1; }")
                    .arg(palette::secondaryBackground().name()));
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(11, 11, 11, 11);
  m_pageArea = new QVBoxLayout;
  m_pageArea->setContentsMargins(36, 24, 36, 24);
  column->addLayout(m_pageArea, 1);
  showPage();
}

void OnboardingView::nextPage() {
  if (m_currentPage == kLastPage) return;
  m_currentPage = static_cast<OnboardingPages>(static_cast<int>(m_currentPage) + 1);
  showPage();
}

void OnboardingView::previousPage() {
  if (m_currentPage == kFirstPage) return;
  m_currentPage = static_cast<OnboardingPages>(static_cast<int>(m_currentPage) - 1);
  showPage();
}

void OnboardingView::showPage() {
  // One page at a time: the previous page and its buttons go.
  delete m_content;
  delete m_navigation;
  m_back = m_next = m_finish = nullptr;
  m_content = buildPage(m_currentPage);
  m_pageArea->addWidget(m_content, 1);

  m_navigation = new QWidget(this);
  auto* bar = new QHBoxLayout(m_navigation);
  bar->setContentsMargins(0, 0, 0, 0);
  const QColor accent = palette::accent();
  if (m_currentPage != kFirstPage) {
    m_back = navigationButton(QStringLiteral("←"), palette::raisedBackground(), m_navigation);
    m_back->setObjectName(QStringLiteral("back"));
    connect(m_back, &QAbstractButton::clicked, this, &OnboardingView::previousPage,
            Qt::QueuedConnection);
    bar->addWidget(m_back);
  }
  bar->addStretch(1);
  if (m_currentPage == kLastPage) {
    m_finish = navigationButton(QStringLiteral("✓"), accent, m_navigation);
    m_finish->setObjectName(QStringLiteral("finish"));
    connect(m_finish, &QAbstractButton::clicked, this, &OnboardingView::startRequested);
    bar->addWidget(m_finish);
  } else {
    m_next = navigationButton(QStringLiteral("→"), accent, m_navigation);
    m_next->setObjectName(QStringLiteral("next"));
    // Queued: the button that was clicked goes with its page.
    connect(m_next, &QAbstractButton::clicked, this, &OnboardingView::nextPage,
            Qt::QueuedConnection);
    bar->addWidget(m_next);
  }
  static_cast<QVBoxLayout*>(layout())->addWidget(m_navigation);
  m_navigation->show();
  m_content->show();
  emit currentPageChanged(m_currentPage);
}

Onboarding::Onboarding(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::CustomizeWindowHint) {
  setObjectName(QStringLiteral("onboardingWindow"));
  setWindowTitle(QStringLiteral("Welcome"));
  platform::keepOwnSizeOnTilingManagers(this);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  // The pages scroll where the work area is smaller than they are (a small screen at a large
  // scale).
  auto* scroll = new QScrollArea(this);
  scroll->setFrameShape(QFrame::NoFrame);
  scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  m_view = new OnboardingView(scroll);
  connect(m_view, &OnboardingView::startRequested, this, &Onboarding::finish);
  scroll->setWidget(m_view);
  layout->addWidget(scroll);
  setFixedSize(m_view->size());
  m_frame = new platform::WindowFrame(this);
  connect(m_frame, &platform::WindowFrame::changed, this, &Onboarding::frameChanged);
}

void Onboarding::fitWorkArea() {
  QScreen* screen = isVisible() ? this->screen() : platform::Screens::screenWithMouseOrMain();
  if (screen == nullptr) return;
  const QRect area = platform::Screens::workArea(screen);
  const QMargins frame = m_frame->extents().value_or(QMargins());
  const QSize available = area.size().shrunkBy(frame);
  QSize fitting = m_view->size();
  if (fitting.height() > available.height())
    fitting.rwidth() += style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
  fitting = fitting.boundedTo(available);
  if (fitting != size()) setFixedSize(fitting);
}

void Onboarding::frameChanged() {
  // Whenever the frame becomes known or changes, the window is fitted to it and centred again, so
  // that the title bar stands on the screen, where it can be grabbed. A move by the user changes
  // no frame and leaves the window where the user put it.
  if (!m_frame->extents()) return;
  fitWorkArea();
  QScreen* screen = this->screen();
  if (screen == nullptr) return;
  const QRect area = platform::Screens::workArea(screen);
  const QMargins frame = *m_frame->extents();
  const QSize outer = size().grownBy(frame);
  const QPoint origin(area.x() + (area.width() - outer.width()) / 2,
                      area.y() + (area.height() - outer.height()) / 2);
  // The window's own rectangle, which places it exactly whatever the manager and Qt know of the
  // frame by now.
  setGeometry(QRect(origin + QPoint(frame.left(), frame.top()), size()));
}

void Onboarding::registerWindow() {
  setOnboardingFactory([](std::function<void()> startApp) {
    auto* window = new Onboarding;
    connect(window, &Onboarding::startRequested, window, std::move(startApp));
    return window;
  });
}

void Onboarding::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  fitWorkArea();
  if (m_counted) return;
  m_counted = true;
  countDockWindowUp();
}

void Onboarding::finish() {
  emit startRequested();
  m_finishing = true;
  close();
}

void Onboarding::closeEvent(QCloseEvent* event) {
  // Only the user's close (through the window manager) asks; a close by the program, finishing
  // or the application quitting, goes through.
  if (m_finishing || !event->spontaneous()) {
    accept(event);
    return;
  }
  if (!confirm(QStringLiteral("Are you sure?"),
               QStringLiteral("Closing this window will quit Tessra Ai."), this)) {
    event->ignore();
    return;
  }
  accept(event);
  quitApp();
}

void Onboarding::accept(QCloseEvent* event) {
  event->accept();
  if (!m_counted) return;
  m_counted = false;
  countDockWindowDown();
}

}  // namespace tessra
