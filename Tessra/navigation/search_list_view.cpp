#include "Tessra/navigation/search_list_view.h"

#include <QAbstractListModel>
#include <QFrame>
#include <QKeyEvent>
#include <QVBoxLayout>

#include <functional>
#include <optional>

#include "Tessra/localized_text/localized_text.h"
#include "Tessra/navigation/channel_row_delegate.h"
#include "Tessra/navigation/panel_card.h"
#include "Tessra/ui_foundation/palette.h"
#include "Tessra/ui_foundation/search_text_field_style.h"

namespace tessra {

namespace {

constexpr int kPadding = 8;
constexpr int kRowSpacing = 4;

// The key hint as its text means it: the runs between "**" are the keys, in bold. Its return
// key "⮐" is in none of the fonts the program is drawn with, which show an empty box for it;
// "⏎" means the same and is in all of them.
QString keyHintHtml(const QString& text) {
  const QStringList runs =
      QString(text).replace(QChar(0x2B90), QChar(0x23CE)).split(QStringLiteral("**"));
  // An unpaired marker makes no bold run: the text is shown as it is.
  if (runs.size() % 2 == 0) return text.toHtmlEscaped();
  QString html;
  for (qsizetype i = 0; i < runs.size(); ++i) {
    const QString run = runs[i].toHtmlEscaped();
    html += i % 2 == 1 ? QStringLiteral("<b>%1</b>").arg(run) : run;
  }
  return html;
}

}  // namespace

// The kept rows of the state, with the selected and current rows as roles.
class SearchListView::Model final : public QAbstractListModel {
 public:
  Model(const SearchListState& state, const QStringList& labels, QObject* parent)
      : QAbstractListModel(parent), m_state(state), m_labels(labels) {}

  int rowCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : m_state.count();
  }

  QVariant data(const QModelIndex& index, int role) const override {
    if (!index.isValid() || index.row() >= m_state.count()) return {};
    const int source = m_state.filtered()[static_cast<std::size_t>(index.row())];
    switch (role) {
      case Qt::DisplayRole:
        return m_labels.isEmpty() ? m_state.texts()[source] : m_labels[source];
      case ChannelRowDelegate::SelectedRole:
        return index.row() == m_state.selectedItem();
      case ChannelRowDelegate::HighlightedRole:
        return source == m_highlighted;
      default:
        return {};
    }
  }

  // Runs `change` (of the state or the labels) inside a reset of the model; a new current row
  // when one is given.
  void reset(std::optional<int> highlighted, const std::function<void()>& change) {
    beginResetModel();
    change();
    if (highlighted) m_highlighted = *highlighted;
    endResetModel();
  }

  void rowChanged(int row) {
    if (row < 0 || row >= m_state.count()) return;
    const QModelIndex changed = index(row);
    emit dataChanged(changed, changed, {ChannelRowDelegate::SelectedRole});
  }

 private:
  const SearchListState& m_state;
  const QStringList& m_labels;
  int m_highlighted = -1;
};

SearchListView::SearchListView(BoolBinding isVisible, QWidget* parent)
    : QWidget(parent), m_isVisible(std::move(isVisible)) {
  m_model = new Model(m_state, m_labels, this);

  m_field = new QLineEdit(this);
  m_field->setPlaceholderText(LocalizedText::General::search());
  SearchTextFieldStyle::search().apply(*m_field);
  m_field->installEventFilter(this);
  connect(m_field, &QLineEdit::textChanged, this, &SearchListView::searchTextChanged);
  connect(m_field, &QLineEdit::returnPressed, this, &SearchListView::openSelected);

  m_list = new QListView(this);
  m_list->setModel(m_model);
  m_list->setItemDelegate(new ChannelRowDelegate(std::nullopt, m_list));
  m_list->setUniformItemSizes(true);
  m_list->setFocusPolicy(Qt::NoFocus);
  m_list->setSelectionMode(QAbstractItemView::NoSelection);
  m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  m_list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  m_list->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
  m_list->setFrameShape(QFrame::NoFrame);
  m_list->setSpacing(kRowSpacing / 2);
  m_list->setMouseTracking(true);
  m_list->viewport()->setAttribute(Qt::WA_Hover);
  m_list->viewport()->setAutoFillBackground(false);
  m_list->setStyleSheet(QStringLiteral("QListView { background: transparent; }"));
  QFont rowFont = m_list->font();
  rowFont.setPixelSize(13);
  m_list->setFont(rowFont);
  connect(m_list, &QListView::clicked, this, [this](const QModelIndex& index) {
    const int previous = m_state.selectedItem();
    m_state.select(index.row());
    selectionMoved(previous);
    openSelected();
  });

  auto* divider = new QFrame(this);
  divider->setFixedHeight(1);
  divider->setStyleSheet(QStringLiteral("background: %1;").arg(palette::keyCap().name()));

  m_hint =
      new QLabel(keyHintHtml(LocalizedText::General::actionListNavigationInstructions()), this);
  m_hint->setTextFormat(Qt::RichText);
  m_hint->setAlignment(Qt::AlignCenter);
  m_hint->setWordWrap(true);
  m_hint->setContentsMargins(kPadding, kPadding, kPadding, kPadding);
  QPalette hintColors = m_hint->palette();
  hintColors.setColor(QPalette::WindowText, palette::gray());
  m_hint->setPalette(hintColors);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  auto* fieldBox = new QVBoxLayout;
  fieldBox->setContentsMargins(kPadding, kPadding, kPadding, kPadding);
  fieldBox->addWidget(m_field);
  layout->addLayout(fieldBox);
  auto* listBox = new QVBoxLayout;
  listBox->setContentsMargins(kPadding - kRowSpacing / 2, 0, kPadding - kRowSpacing / 2, 0);
  listBox->addWidget(m_list, 1);
  layout->addLayout(listBox, 1);
  layout->addWidget(divider);
  layout->addWidget(m_hint);

  setFocusProxy(m_field);
}

SearchListView::~SearchListView() = default;

void SearchListView::setRows(QStringList texts, int highlightedRow, QStringList labels) {
  m_model->reset(highlightedRow, [&] {
    m_state.setRows(std::move(texts));
    if (!m_field->text().isEmpty()) m_state.setSearchText(m_field->text());
    m_labels = std::move(labels);
  });
  selectionMoved(-1);
}

void SearchListView::searchTextChanged(const QString& text) {
  m_model->reset(std::nullopt, [&] { m_state.setSearchText(text); });
  selectionMoved(-1);
}

void SearchListView::moveSelectionDown() {
  const int previous = m_state.selectedItem();
  m_state.moveSelectionDown();
  selectionMoved(previous);
}

void SearchListView::moveSelectionUp() {
  const int previous = m_state.selectedItem();
  m_state.moveSelectionUp();
  selectionMoved(previous);
}

void SearchListView::selectionMoved(int previous) {
  m_model->rowChanged(previous);
  m_model->rowChanged(m_state.selectedItem());
  if (m_state.hasSelection())
    m_list->scrollTo(m_model->index(m_state.selectedItem()), QAbstractItemView::EnsureVisible);
}

void SearchListView::openSelected() {
  if (const std::optional<int> row = m_state.submit()) emit submitted(*row);
  m_isVisible.set(false);
}

bool SearchListView::handleKey(const QKeyEvent& event) {
  const bool plain = (event.modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
  switch (event.key()) {
    case Qt::Key_Down:
    case Qt::Key_Tab:
      if (!plain) return false;
      moveSelectionDown();
      return true;
    case Qt::Key_Up:
      if (!plain) return false;
      moveSelectionUp();
      return true;
    case Qt::Key_Escape:
      m_isVisible.set(false);
      return true;
    default:
      return false;
  }
}

bool SearchListView::eventFilter(QObject* watched, QEvent* event) {
  // Tab must be taken before the field hands the focus on.
  if (watched == m_field &&
      (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride)) {
    const auto& key = static_cast<const QKeyEvent&>(*event);
    if (event->type() == QEvent::ShortcutOverride) {
      if (key.key() == Qt::Key_Escape) event->accept();
      return false;
    }
    if (handleKey(key)) return true;
  }
  return QWidget::eventFilter(watched, event);
}

void SearchListView::keyPressEvent(QKeyEvent* event) {
  if (!handleKey(*event)) QWidget::keyPressEvent(event);
}

void SearchListView::paintEvent(QPaintEvent*) {
  paintPanelCard(*this, palette::tertiaryBackground());
}

}  // namespace tessra
