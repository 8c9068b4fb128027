#include "Tessra/navigation/channel_row_delegate.h"

#include <QPainter>

#include "Tessra/ui_foundation/button_styles.h"

namespace tessra {

ChannelRowDelegate::ChannelRowDelegate(std::optional<QColor> foreground, QObject* parent)
    : QStyledItemDelegate(parent), m_foreground(std::move(foreground)) {}

void ChannelRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const {
  const QVariant selectedRole = index.data(SelectedRole);
  const bool selected = selectedRole.isValid() ? selectedRole.toBool()
                                               : option.state.testFlag(QStyle::State_Selected);
  const bool highlighted = index.data(HighlightedRole).toBool();
  const bool hovered = option.state.testFlag(QStyle::State_MouseOver);
  DiscordChannelButton::Look look = DiscordChannelButton::look(selected, highlighted, hovered);
  if (m_foreground) look.foreground = *m_foreground;
  painter->setFont(option.font);
  DiscordChannelButton::paintRow(*painter, QRectF(option.rect),
                                 index.data(Qt::DisplayRole).toString(), look, Qt::AlignLeft);
}

QSize ChannelRowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
  return {option.rect.width(), DiscordChannelButton::kHeight};
}

}  // namespace tessra
