#include "Tessra/prompt_input/chat_text_field_completion_view.h"

#include <QAction>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include "Tessra/ui_foundation/color_emoji.h"
#include "Tessra/ui_foundation/palette.h"

namespace tessra {

namespace {
constexpr int kRowPadding = 12;
constexpr qreal kRowRadius = 8;
constexpr qreal kListRadius = 12;
}  // namespace

// Paints the rows; its height is the sum of theirs, so the scroll area scrolls it.
class ChatTextFieldCompletionView::Rows : public QWidget {
 public:
  explicit Rows(const ChatTextFieldCompletionView& list) : m_list(list) {}

  int rowHeight() const { return fontMetrics().height() + 2 * kRowPadding; }
  void relayout() {
    setFixedHeight(rowHeight() * static_cast<int>(m_list.m_filteredCommands.size()));
    update();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const int height = rowHeight();
    const auto& commands = m_list.m_filteredCommands;
    for (int index = 0; index < static_cast<int>(commands.size()); ++index) {
      const QRect row(0, index * height, width(), height);
      if (index == m_list.selectedItem()) {
        QPainterPath shape;
        shape.addRoundedRect(row, kRowRadius, kRowRadius);
        painter.fillPath(shape, palette::selectedRow());
      }
      painter.setPen(Qt::white);
      if (commands[index])
        drawColorEmojiText(painter, row.adjusted(kRowPadding, 0, -kRowPadding, 0), Qt::AlignLeft,
                           commands[index]->text());
    }
  }

 private:
  const ChatTextFieldCompletionView& m_list;
};

ChatTextFieldCompletionView::ChatTextFieldCompletionView(QWidget* parent)
    : QWidget(parent), m_scrollArea(new QScrollArea(this)), m_rows(new Rows(*this)) {
  setAttribute(Qt::WA_TranslucentBackground);
  setFixedHeight(kListHeight + 2 * kPadding);
  m_scrollArea->setFrameShape(QFrame::NoFrame);
  m_scrollArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  m_scrollArea->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  m_scrollArea->setWidgetResizable(true);
  m_scrollArea->setStyleSheet("background: transparent");
  m_scrollArea->setWidget(m_rows);
  m_scrollArea->setFixedHeight(kListHeight);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(kPadding, kPadding, kPadding, kPadding);
  layout->addWidget(m_scrollArea);
  layout->addStretch();
  m_rows->relayout();
}

ChatTextFieldCompletionView::~ChatTextFieldCompletionView() = default;

void ChatTextFieldCompletionView::setCommands(const QList<QAction*>& actions) {
  m_allCommands.assign(actions.begin(), actions.end());
  m_filteredCommands = m_allCommands;
  m_rows->relayout();
}

QList<QAction*> ChatTextFieldCompletionView::filteredCommands() const {
  QList<QAction*> commands;
  for (const QPointer<QAction>& action : m_filteredCommands)
    if (action) commands.append(action);
  return commands;
}

void ChatTextFieldCompletionView::filterCommands(const QString& searchText) {
  if (!searchText.startsWith(u'/')) return;
  const QString query = QString(searchText).remove(u'/');
  if (query.trimmed().isEmpty()) {
    m_filteredCommands = m_allCommands;
    m_rows->relayout();
    return;
  }
  // The untrimmed query counts: "clear " matches "Clear Context" and "context " nothing.
  const QString needle = query.toLower();
  m_filteredCommands.clear();
  for (const QPointer<QAction>& action : m_allCommands) {
    if (action && action->text().toLower().contains(needle)) m_filteredCommands.push_back(action);
  }
  m_rows->relayout();
  select(0);
}

void ChatTextFieldCompletionView::moveSelectionUp() {
  const int index = m_selectedItem - 1;
  select(index < 0 ? static_cast<int>(m_filteredCommands.size()) - 1 : index);
}

void ChatTextFieldCompletionView::moveSelectionDown() {
  const int index = m_selectedItem + 1;
  select(index >= static_cast<int>(m_filteredCommands.size()) ? 0 : index);
}

void ChatTextFieldCompletionView::resetSelection() { select(0); }

void ChatTextFieldCompletionView::select(int index) {
  m_selectedItem = index;
  const bool inList = index >= 0 && index < static_cast<int>(m_filteredCommands.size()) &&
                      m_filteredCommands[index];
  emit commandToBeExecutedChanged(inList ? m_filteredCommands[index].data() : nullptr);
  m_rows->update();
  if (inList) scrollToSelection();
}

void ChatTextFieldCompletionView::scrollToSelection() {
  const int height = m_rows->rowHeight();
  m_scrollArea->ensureVisible(0, m_selectedItem * height + height / 2, 0, height / 2);
}

void ChatTextFieldCompletionView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  QPainterPath shape;
  shape.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), kListRadius, kListRadius);
  painter.fillPath(shape, palette::raisedBackground());
  painter.setPen(QPen(palette::border(), 1));
  painter.drawPath(shape);
}

void ChatTextFieldCompletionView::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  resetSelection();
}

}  // namespace tessra
