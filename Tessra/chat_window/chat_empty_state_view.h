// The placeholder of a conversation without messages: the program's icon, 128 points square,
// centred on the chat background. GUI thread only.
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
