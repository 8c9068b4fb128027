#include "Tessra/chat_window/text_search_component.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QTimer>
#include <QVBoxLayout>

#include <utility>

#include "Tessra/localized_text/localized_text.h"
#include "Tessra/ui_foundation/line_symbols.h"
#include "Tessra/ui_foundation/palette.h"
#include "platform/ui/held_keys.h"

namespace tessra {

namespace {

ActionButtonStyle barButtonStyle() {
  return ActionButtonStyle{24, palette::background(), palette::raisedBackground(),
                           palette::raisedBackground()};
}

}  // namespace

TextSearchComponent::TextSearchComponent(ChatViewSignals& hub, ChatSource source, QWidget* parent)
    : QWidget(parent),
      m_signals(&hub),
      m_source(source),
      m_field(new QLineEdit(this)),
      m_previous(new ActionButton(lineSymbol(u"arrow.up", Qt::white), barButtonStyle(), this)),
      m_next(new ActionButton(lineSymbol(u"arrow.down", Qt::white), barButtonStyle(), this)),
      m_close(
          new ActionButton(lineSymbol(u"xmark", palette::destructive()), barButtonStyle(), this)) {
  setAttribute(Qt::WA_StyledBackground);
  setStyleSheet(QStringLiteral("tessra--TextSearchComponent { background: %1; }")
                    .arg(palette::background().name()));
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(16, 0, 16, 8);
  row->setSpacing(0);

  m_field->setPlaceholderText(LocalizedText::General::search());
  m_field->setFrame(false);
  m_field->setStyleSheet(
      QStringLiteral("QLineEdit { background: %1; color: %2; border: none; border-radius: 8px;"
                     " padding: 6px 8px; font-size: 15px; }")
          .arg(palette::tertiaryBackground().name(), palette::text().name()));
  row->addWidget(m_field, 1);
  row->addSpacing(4);
  row->addWidget(m_previous);
  row->addWidget(m_next);
  row->addWidget(m_close);
  m_previous->setVisible(false);
  m_next->setVisible(false);

  connect(m_field, &QLineEdit::returnPressed, this, &TextSearchComponent::commit);
  connect(m_previous, &QAbstractButton::clicked, this,
          [this] { send(MessageUpdate::nextSearchResult(false)); });
  connect(m_next, &QAbstractButton::clicked, this,
          [this] { send(MessageUpdate::nextSearchResult(true)); });
  connect(m_close, &QAbstractButton::clicked, this, &TextSearchComponent::closeRequested);
}

bool TextSearchComponent::event(QEvent* event) {
  // Only the bar itself coming and going counts, not the window it lives in sliding in and out.
  if (event->type() == QEvent::ShowToParent) {
    m_shown = true;
    setTotalSearchResults(0);
    // The keys typed at once after Ctrl+F are the field's, though it takes the keyboard only a
    // moment later: until then they wait rather than reach the prompt, and go with the field
    // when it is hidden with the panel meanwhile.
    platform::holdKeysFor(m_field);
    QTimer::singleShot(kFocusDelayMilliseconds, this, [this] {
      if (m_field->isVisible()) m_field->setFocus(Qt::OtherFocusReason);
    });
  } else if (event->type() == QEvent::HideToParent && std::exchange(m_shown, false)) {
    m_field->clear();
    send(MessageUpdate::searchMessage(std::nullopt));
  }
  return QWidget::event(event);
}

void TextSearchComponent::commit() {
  setTotalSearchResults(kCommittedResults);
  send(MessageUpdate::searchMessage(m_field->text().toStdString()));
}

void TextSearchComponent::setTotalSearchResults(int count) {
  m_totalSearchResults = count;
  m_previous->setVisible(count >= 1);
  m_next->setVisible(count >= 1);
}

void TextSearchComponent::send(MessageUpdate update) {
  if (m_signals) emit m_signals->messageUpdates(update);
}

}  // namespace tessra
