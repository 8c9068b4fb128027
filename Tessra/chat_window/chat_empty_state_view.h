// The placeholder of a conversation without messages: the program's icon, 128 points square,
// centred on the chat background. GUI thread only.
//
// Nothing shows it yet: the chat view shows its message page for a conversation without messages
// too. It is kept for a view that has no page to show.
#pragma once

#include <QLabel>
#include <QWidget>

namespace tessra {

class ChatEmptyStateView final : public QWidget {
  Q_OBJECT

 public:
  explicit ChatEmptyStateView(QWidget* parent = nullptr);

  static constexpr int kIconSide = 128;
  static constexpr int kIconBottomPadding = 6;

  QLabel* iconLabel() const { return m_icon; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QLabel* m_icon;
};

}  // namespace tessra
