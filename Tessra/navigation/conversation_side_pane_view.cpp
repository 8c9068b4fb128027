#include "Tessra/navigation/conversation_side_pane_view.h"

#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QVBoxLayout>

#include "Tessra/localized_text/localized_text.h"
#include "Tessra/navigation/channel_row_delegate.h"
#include "Tessra/navigation/conversation_list_model.h"
#include "Tessra/storage/chat_session_manager.h"
#include "Tessra/ui_foundation/confirm.h"
#include "Tessra/ui_foundation/line_symbols.h"
#include "Tessra/ui_foundation/palette.h"
#include "Tessra/ui_foundation/plain_text.h"

namespace tessra {

namespace {

// A right click only opens the conversation menu: the press that comes before the menu selects
// nothing, so it never switches the chat (nor stops its answer).
class ConversationListView final : public QListView {
 public:
  using QListView::QListView;

 protected:
  void mousePressEvent(QMouseEvent* event) override {
    if (event->button() == Qt::RightButton) {
      event->accept();
      return;
    }
    QListView::mousePressEvent(event);
  }
};

}  // namespace

ConversationSidePaneView::ConversationSidePaneView(ChatViewSignals& hub, QWidget* parent)
    : QWidget(parent),
      m_signals(hub),
      m_model(new ConversationListModel(ChatSessionManager::shared(), this)) {
  // While rows go or move, the list selects a neighbour of a row that goes (in its handling of
  // the change, before ours): no user's choice. Connected before `setModel`, so the flag is up
  // before the list's own handlers run.
  for (const auto changing :
       {&QAbstractItemModel::rowsAboutToBeRemoved, &QAbstractItemModel::rowsAboutToBeInserted})
    connect(m_model, changing, this, [this] { m_modelChanging = true; });
  connect(m_model, &QAbstractItemModel::rowsAboutToBeMoved, this,
          [this] { m_modelChanging = true; });
  m_list = new ConversationListView(this);
  m_list->setModel(m_model);
  m_list->setItemDelegate(new ChannelRowDelegate(palette::white(), m_list));
  m_list->setUniformItemSizes(true);
  m_list->setSelectionMode(QAbstractItemView::SingleSelection);
  m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  m_list->setFrameShape(QFrame::NoFrame);
  m_list->setDragEnabled(true);
  m_list->setAcceptDrops(true);
  m_list->setDropIndicatorShown(true);
  m_list->setDragDropMode(QAbstractItemView::DragDrop);
  m_list->setDefaultDropAction(Qt::MoveAction);
  m_list->setMouseTracking(true);
  m_list->viewport()->setAttribute(Qt::WA_Hover);
  m_list->setContextMenuPolicy(Qt::CustomContextMenu);
  QFont rowFont = m_list->font();
  rowFont.setPixelSize(13);
  m_list->setFont(rowFont);
  connect(m_list, &QWidget::customContextMenuRequested, this,
          &ConversationSidePaneView::openContextMenu);
  connect(m_list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &ConversationSidePaneView::selectionChanged);

  setAutoFillBackground(true);
  QPalette colors = palette();
  colors.setColor(QPalette::Window, palette::tertiaryBackground());
  colors.setColor(QPalette::Base, palette::tertiaryBackground());
  setPalette(colors);
  m_list->setPalette(colors);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(m_list);

  connect(&m_signals, &ChatViewSignals::setCurrentSessionID, this,
          &ConversationSidePaneView::followChat);
  // The rows are the store's again: the chat's conversation is selected, or the first row when
  // it is gone. After the list's own handling of the change, hence connected after `setModel`.
  for (const auto changed : {&QAbstractItemModel::rowsRemoved, &QAbstractItemModel::rowsInserted})
    connect(m_model, changed, this, &ConversationSidePaneView::rowsChanged);
  connect(m_model, &QAbstractItemModel::rowsMoved, this, &ConversationSidePaneView::rowsChanged);

  const auto& list = ChatSessionManager::shared().conversationList();
  m_sessionID = list ? list->latestSessionID.value_or(std::string()) : std::string();
  selectCurrentSession();
}

ConversationSidePaneView::~ConversationSidePaneView() = default;

const std::vector<Conversation>& ConversationSidePaneView::conversations() const {
  return m_model->conversations();
}

void ConversationSidePaneView::rowsChanged() {
  m_modelChanging = false;
  selectCurrentSession();
}

void ConversationSidePaneView::selectCurrentSession() {
  const auto& list = ChatSessionManager::shared().conversationList();
  if (m_sessionID.empty() && list && list->latestSessionID) m_sessionID = *list->latestSessionID;
  const auto& rows = m_model->conversations();
  if (rows.empty()) return;
  const int row = m_model->rowOf(m_sessionID).value_or(0);
  {
    const QScopedValueRollback guard(m_selecting, true);
    m_list->selectionModel()->select(m_model->index(row), QItemSelectionModel::ClearAndSelect);
    m_list->selectionModel()->setCurrentIndex(m_model->index(row), QItemSelectionModel::NoUpdate);
  }
  // The chat's conversation is gone: the chat follows the list to its first row.
  const std::string& shown = rows[static_cast<std::size_t>(row)].id;
  if (shown != m_sessionID) {
    m_sessionID = shown;
    emit m_signals.setCurrentSessionID(m_sessionID);
  }
}

void ConversationSidePaneView::selectionChanged() {
  if (m_selecting || m_modelChanging) return;
  const QModelIndexList selected = m_list->selectionModel()->selectedRows();
  if (selected.isEmpty()) {
    // A Ctrl+click can take the only selection away; the current row comes back.
    selectCurrentSession();
    return;
  }
  const std::string& id = conversations()[static_cast<std::size_t>(selected[0].row())].id;
  if (id == m_sessionID) return;
  m_sessionID = id;
  emit m_signals.setCurrentSessionID(m_sessionID);
}

void ConversationSidePaneView::followChat(const std::string& sessionID) {
  if (sessionID == m_sessionID) return;
  m_sessionID = sessionID;
  selectCurrentSession();
}

bool ConversationSidePaneView::acceptDrop(const QString& text, int row) {
  return m_model->moveConversation(text.toStdString(), row);
}

void ConversationSidePaneView::openContextMenu(const QPoint& position) {
  const QModelIndex index = m_list->indexAt(position);
  if (!index.isValid()) return;
  m_contextMenuConversation = conversations()[static_cast<std::size_t>(index.row())];
  delete m_menu;
  m_menu = new QMenu(menuText(QString::fromStdString(m_contextMenuConversation->name)), this);
  m_menu->setAttribute(Qt::WA_DeleteOnClose);
  m_menu->addAction(m_menu->title())->setEnabled(false);
  m_menu->addSeparator();
  m_menu->addAction(lineSymbol(u"pencil", palette::mutedText()), LocalizedText::General::rename(),
                    this, &ConversationSidePaneView::renameConversation);
  m_menu->addAction(lineSymbol(u"gearshape", palette::mutedText()),
                    LocalizedText::General::settings(), this,
                    &ConversationSidePaneView::settingsForConversation);
  QAction* remove = m_menu->addAction(lineSymbol(u"trash", palette::mutedText()),
                                      LocalizedText::General::deleteAction(), this,
                                      &ConversationSidePaneView::deleteConversation);
  remove->setEnabled(conversations().size() >= 2);
  m_menu->popup(m_list->viewport()->mapToGlobal(position));
}

void ConversationSidePaneView::renameConversation() {
  if (m_contextMenuConversation) emit m_signals.editChatSession(*m_contextMenuConversation);
}

void ConversationSidePaneView::settingsForConversation() {
  if (m_contextMenuConversation) emit m_signals.editChatSettings(*m_contextMenuConversation);
}

void ConversationSidePaneView::deleteConversation() {
  if (!m_contextMenuConversation || conversations().size() < 2) return;
  delete m_sheet;
  m_sheet = new QMessageBox(QMessageBox::Warning, LocalizedText::Conversation::deletionTitle(),
                            LocalizedText::Conversation::deletionTitle(), QMessageBox::NoButton,
                            window());
  m_sheet->setInformativeText(LocalizedText::Conversation::deletionDescription());
  QPushButton* confirm =
      m_sheet->addButton(LocalizedText::General::deleteAction(), QMessageBox::DestructiveRole);
  QPushButton* cancel =
      m_sheet->addButton(LocalizedText::General::cancel(), QMessageBox::RejectRole);
  // Return and Escape both keep the conversation: only a deliberate choice of Delete deletes.
  m_sheet->setDefaultButton(cancel);
  m_sheet->setEscapeButton(cancel);
  m_sheet->setWindowModality(Qt::WindowModal);
  m_sheet->setAttribute(Qt::WA_DeleteOnClose);
  widenToItsText(*m_sheet);
  // The conversation as it was when the question was asked.
  const Conversation asked = *m_contextMenuConversation;
  connect(m_sheet, &QMessageBox::buttonClicked, this,
          [this, confirm, asked](QAbstractButton* button) {
            if (button != confirm) return;
            ChatSessionManager::shared().deleteConversation(asked);
            m_contextMenuConversation.reset();
          });
  m_sheet->open();
}

}  // namespace tessra
