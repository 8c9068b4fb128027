// A short notice at the top of the floating panel, for what the user must learn where they
// look, at the panel that stands above every other window (the global shortcut is held by
// another program): a bold line, a sentence and an OK button on a card in the panel's colours.
// It stays until the user presses OK.
//
//   auto* notice = new PanelNotice(panel);
//   notice->setTexts(recorderText("shortcut_not_active").arg("Alt+Space"),
//                    recorderText("keyboard_shortcut_used_by_system"));
//   connect(notice, &PanelNotice::dismissed, ...);
//
// The owner places it (`heightForWidth` gives its height), makes room for it and shows it. GUI
// thread only.
#pragma once

#include <QWidget>

class QLabel;

namespace tessra {

class FlatButton;

class PanelNotice final : public QWidget {
  Q_OBJECT

 public:
  explicit PanelNotice(QWidget* parent = nullptr);

  void setTexts(const QString& title, const QString& text);
  QString title() const;
  QString text() const;
  FlatButton* okButton() const { return m_ok; }

  bool hasHeightForWidth() const override { return true; }
  int heightForWidth(int width) const override;

 signals:
  // The user pressed OK; the notice is hidden.
  void dismissed();

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QLabel* m_title;
  QLabel* m_text;
  FlatButton* m_ok;
};

}  // namespace tessra
