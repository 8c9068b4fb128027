// Paints the rows of the conversation and topic lists with the look of the row button
// (`DiscordChannelButton`): selected, current (highlighted) and hovered rows. One delegate paints
// every row, so a list of any length makes no widget per row.
//
// The selected and highlighted states come from the model's roles when it has them, else from
// the view's own selection. GUI thread only.
#pragma once

#include <QStyledItemDelegate>

#include <optional>

namespace tessra {

class ChannelRowDelegate final : public QStyledItemDelegate {
  Q_OBJECT

 public:
  enum Role { SelectedRole = Qt::UserRole + 1, HighlightedRole };

  // `foreground` replaces the look's text colour (the side list writes every name in white).
  explicit ChannelRowDelegate(std::optional<QColor> foreground = std::nullopt,
                              QObject* parent = nullptr);

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

 private:
  std::optional<QColor> m_foreground;
};

}  // namespace tessra
