#include "Tessra/navigation/new_conversation_floating_panel_view.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QTextBoundaryFinder>
#include <QVBoxLayout>

#include "Tessra/localized_text/localized_text.h"
#include "Tessra/navigation/panel_card.h"
#include "Tessra/storage/chat_session_manager.h"
#include "Tessra/ui_foundation/palette.h"
#include "Tessra/ui_foundation/plain_text.h"
#include "Tessra/ui_foundation/search_text_field_style.h"

namespace tessra {

namespace {

constexpr int kFormMargin = 16;

QLabel* makeLabel(const QString& text, const QColor& color, int pixelSize, QFont::Weight weight,
                  QWidget* parent) {
  auto* label = plainLabel(text, parent);
  QFont font = label->font();
  font.setPixelSize(pixelSize);
  font.setWeight(weight);
  label->setFont(font);
  QPalette colors = label->palette();
  colors.setColor(QPalette::WindowText, color);
  label->setPalette(colors);
  label->setAlignment(Qt::AlignCenter);
  return label;
}

// The first grapheme of `text` and the rest.
std::pair<QString, QString> splitFirstCharacter(const QString& text) {
  QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, text);
  const qsizetype end = text.isEmpty() ? 0 : graphemes.toNextBoundary();
  return {text.left(end), text.mid(end)};
}

}  // namespace

int NewConversationFloatingPanelView::characterCount(const QString& text) {
  QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, text);
  int count = 0;
  while (graphemes.toNextBoundary() != -1) ++count;
  return count;
}

NewConversationFloatingPanelView::NewConversationFloatingPanelView(
    std::function<void(const std::string&)> setSessionID, BoolBinding isVisible,
    std::optional<Conversation> editingConversation, std::function<void()> clearEditingConversation,
    QWidget* parent)
    : QWidget(parent), m_setSessionID(std::move(setSessionID)), m_isVisible(std::move(isVisible)) {
  QString title;
  if (editingConversation) {
    m_editingID = editingConversation->id;
    m_editingName = QString::fromStdString(editingConversation->name);
    auto [emoji, rest] = splitFirstCharacter(m_editingName);
    m_emoji = emoji;
    title = rest.startsWith(QLatin1Char(' ')) ? rest.mid(1) : rest;
  } else {
    m_emoji = EmojiTextField::randomEmoji();
  }
  // The chat's copy is taken now, so that a later Ctrl+N creates.
  if (clearEditingConversation) clearEditingConversation();

  setFixedSize(kWidth, kHeight);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addLayout(buildForm(title), 1);
  auto* divider = new QFrame(this);
  divider->setFixedHeight(1);
  divider->setStyleSheet(QStringLiteral("background: %1;").arg(palette::keyCap().name()));
  layout->addWidget(divider);
  layout->addWidget(buildBar());
  setTabOrder(m_titleField, m_cancel);
  setTabOrder(m_cancel, m_confirm);
}

QVBoxLayout* NewConversationFloatingPanelView::buildForm(const QString& title) {
  m_heading = makeLabel(isEditing() ? LocalizedText::Conversation::editTitle(m_editingName)
                                    : LocalizedText::Conversation::newTitle(),
                        palette::headingText(), 24, QFont::Bold, this);
  auto* description = makeLabel(isEditing() ? LocalizedText::Conversation::editDescription()
                                            : LocalizedText::Conversation::newDescription(),
                                palette::secondaryText(), 14, QFont::Normal, this);
  description->setWordWrap(true);
  // The texts keep their height; the flexible space below the field gives way instead.
  m_heading->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Minimum);
  description->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Minimum);

  m_picker = new EmojiPickerView(m_emoji, this);
  connect(m_picker, &EmojiPickerView::emojiChanged, this,
          [this](const QString& emoji) { m_emoji = emoji; });

  m_titleField = new QLineEdit(title, this);
  SearchTextFieldStyle{palette::secondaryBackground(), palette::white(), 12, 8}.apply(
      *m_titleField);
  connect(m_titleField, &QLineEdit::textChanged, this, [this] { setValidationError({}); });
  connect(m_titleField, &QLineEdit::returnPressed, this, &NewConversationFloatingPanelView::save);

  auto* form = new QVBoxLayout;
  form->setContentsMargins(kFormMargin, 0, kFormMargin, 0);
  form->setSpacing(0);
  form->addSpacing(24);
  form->addWidget(m_heading);
  form->addSpacing(16);
  form->addWidget(description);
  form->addSpacing(8 + 16);
  form->addWidget(m_picker, 0, Qt::AlignHCenter);
  form->addSpacing(8);
  form->addWidget(m_titleField);
  form->addStretch(1);
  return form;
}

QWidget* NewConversationFloatingPanelView::buildBar() {
  auto* bar = new QWidget(this);
  bar->setAutoFillBackground(true);
  QPalette barColors = bar->palette();
  barColors.setColor(QPalette::Window, palette::secondaryBackground());
  bar->setPalette(barColors);
  m_cancel = new FlatButton(LocalizedText::General::cancel(),
                            {true, false, false, palette::secondaryBackground()}, bar);
  m_confirm = new FlatButton(
      isEditing() ? LocalizedText::General::update() : LocalizedText::General::create(),
      {true, false, false, std::nullopt}, bar);
  // Return on a focused button presses it.
  m_cancel->setAutoDefault(true);
  m_confirm->setAutoDefault(true);
  connect(m_cancel, &QPushButton::clicked, this, [this] { m_isVisible.set(false); });
  clickOnEscape(m_cancel, this);
  connect(m_confirm, &QPushButton::clicked, this, &NewConversationFloatingPanelView::save);
  m_message = plainLabel({}, bar);
  m_message->setAlignment(Qt::AlignCenter);
  m_message->setWordWrap(true);
  QPalette messageColors = m_message->palette();
  messageColors.setColor(QPalette::WindowText, palette::destructive());
  m_message->setPalette(messageColors);
  auto* buttons = new QHBoxLayout(bar);
  buttons->setContentsMargins(16, 16, 16, 16);
  buttons->setSpacing(0);
  buttons->addWidget(m_cancel);
  buttons->addWidget(m_message, 1);
  buttons->addWidget(m_confirm);
  return bar;
}

void NewConversationFloatingPanelView::setValidationError(const QString& message) {
  m_validationError = message;
  m_message->setText(message);
}

void NewConversationFloatingPanelView::save() {
  if (m_isLoading) return;
  const QString title = m_titleField->text();
  if (characterCount(title.trimmed()) < kMinimumTitleLength) {
    setValidationError(LocalizedText::Conversation::nameTooShortError());
    return;
  }
  if (characterCount(title) > kMaximumTitleLength) {
    setValidationError(LocalizedText::Conversation::nameTooLongError());
    return;
  }
  m_isLoading = true;
  const std::string name = (m_emoji + QLatin1Char(' ') + title).toStdString();
  ChatSessionManager& store = ChatSessionManager::shared();
  std::optional<std::string> createdID;
  try {
    if (isEditing())
      store.renameConversation(m_editingID, name);
    else
      createdID = store.createConversation(name).id;
  } catch (const TessraError&) {
    setValidationError(LocalizedText::Conversation::alreadyExistsError());
    m_isLoading = false;
    return;
  } catch (const std::exception&) {
    // A session that cannot be read, or a list that cannot be written.
    setValidationError(LocalizedText::Conversation::failedToUpdateError());
    m_isLoading = false;
    return;
  }
  // Stays set: the panel is closing, and a second Return queued behind the first must not
  // create again.
  didSave(createdID);
}

void NewConversationFloatingPanelView::didSave(const std::optional<std::string>& createdID) {
  m_editingID.clear();
  m_editingName.clear();
  if (createdID) m_setSessionID(*createdID);
  m_isVisible.set(false);
}

void NewConversationFloatingPanelView::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (m_appeared) return;
  m_appeared = true;
  // The panel opens with the keyboard in the title, so a user who presses Ctrl+N types the name
  // at once: the badge comes first in the focus chain, and letters typed there open the palette.
  m_titleField->setFocus(Qt::OtherFocusReason);
}

void NewConversationFloatingPanelView::paintEvent(QPaintEvent*) {
  paintPanelCard(*this, palette::background());
}

}  // namespace tessra
