// The small views several windows share: a badge, a key cap, a hover hint with key caps, the
// confirm-or-cancel card and a settings switch row.
//
// Texts they show by default are constructor arguments, so that the caller looks them up in the
// string table. Values owned by the presenting window (whether the card is shown, whether a
// setting is on) are reached through a `BoolBinding`. GUI thread only.
#pragma once

#include <QAbstractButton>
#include <QLabel>
#include <QPointer>
#include <QWidget>

#include <functional>

#include "Tessra/ui_foundation/button_styles.h"

namespace tessra {

// A Boolean owned elsewhere: how to read it and how to write it.
struct BoolBinding {
  std::function<bool()> get;
  std::function<void(bool)> set;
};

// White text on a blue rounded capsule.
class BadgeLabel : public QWidget {
  Q_OBJECT

 public:
  explicit BadgeLabel(const QString& text, QWidget* parent = nullptr);
  QString text() const { return m_text; }
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString m_text;
};

// The cap of one keyboard key: a 20-point square with a dark rim, thicker below; a key named by a
// word ("Ctrl") widens the cap to fit it.
class KeyView : public QWidget {
  Q_OBJECT

 public:
  explicit KeyView(const QString& text, QWidget* parent = nullptr);
  QString text() const { return m_text; }
  // Where the cap itself is drawn inside the view (the rim surrounds it).
  QRectF capRect() const;
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString m_text;
};

// Shows a hint (the message and the caps of `keys`: one per key of a combination written in words,
// "Ctrl+T", else one per character, "⌃T") while the pointer rests on the target widget, with an
// arrow in the middle of the hint's `arrowEdge` pointing at the target: an arrow on the top edge
// puts the hint below the target. The user cannot dismiss it; it closes when the pointer leaves.
class HintPopover : public QObject {
  Q_OBJECT

 public:
  HintPopover(QWidget* target, QString message, std::optional<QString> keys, Qt::Edge arrowEdge);
  ~HintPopover() override;

  bool isHovered() const { return m_isHovered; }
  // The hint window while it is shown, else null.
  QWidget* popup() const { return m_popup.data(); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void show();
  void hide();

  QPointer<QWidget> m_target;
  QString m_message;
  std::optional<QString> m_keys;
  Qt::Edge m_arrowEdge;
  bool m_isHovered = false;
  QPointer<QWidget> m_popup;
};

// The card that asks to confirm or cancel an action. Either button first writes false into
// `isPresented` (which dismisses the card) and then runs its action.
class ConfirmationView : public QWidget {
  Q_OBJECT

 public:
  enum class Style { regular, destructive };

  struct Configuration {
    QString title;
    Style style = Style::regular;
    QString confirmActionText;
    std::function<void()> confirmAction;
    QString cancelActionText;
    std::function<void()> cancelAction;
  };

  // `defaultConfirmText` and `defaultCancelText` are the texts of "General.continue" and
  // "General.cancel"; the configuring function starts from them, an empty title, the regular
  // style and actions that do nothing.
  ConfirmationView(const std::function<Configuration(Configuration)>& configure,
                   BoolBinding isPresented, const QString& defaultConfirmText,
                   const QString& defaultCancelText, QWidget* parent = nullptr);

  static constexpr int kCornerRadius = 12;

  const Configuration& configuration() const { return m_configuration; }
  QString emoji() const;
  FlatButton* confirmButton() const { return m_confirm; }
  FlatButton* cancelButton() const { return m_cancel; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void perform(const std::function<void()>& action);

  Configuration m_configuration;
  BoolBinding m_isPresented;
  QWidget* m_buttonRow = nullptr;
  QLabel* m_emoji = nullptr;
  FlatButton* m_confirm = nullptr;
  FlatButton* m_cancel = nullptr;
};

// A switch drawn as a capsule, tinted green when on.
class ToggleSwitch : public QAbstractButton {
  Q_OBJECT

 public:
  explicit ToggleSwitch(QWidget* parent = nullptr);
  QColor currentTrack() const;
  QSize sizeHint() const override { return {38, 22}; }

 protected:
  void paintEvent(QPaintEvent* event) override;
};

// One switch row of the settings pages: the title on the leading side, the switch on the
// trailing side. It writes only through the binding.
class SettingsToggleView : public QWidget {
  Q_OBJECT

 public:
  SettingsToggleView(const QString& title, BoolBinding isOn, QWidget* parent = nullptr);
  ToggleSwitch* toggle() const { return m_toggle; }
  QLabel* titleLabel() const { return m_title; }
  // Reads the binding again (after the owner changed the value).
  void refresh();

 private:
  BoolBinding m_isOn;
  QLabel* m_title;
  ToggleSwitch* m_toggle;
};

}  // namespace tessra
