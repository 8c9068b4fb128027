// `SettingsSlider`: a titled slider that edits one number its owner keeps, with a badge showing
// the value, an optional "Reset" to a default, optional hints under the ends and the middle, and
// an optional explanation.
//
//   auto* slider = new SettingsSlider({.title = tr("Temperature"),
//                                      .value = {[&] { return m_temperature; },
//                                                [&](double v) { m_temperature = v; }},
//                                      .lower = 0, .upper = 2, .step = 0.1,
//                                      .defaultValue = 0.5});
//
// The slider writes the value only when the user moves it (or presses "Reset"), so a value outside
// the range, which the slider cannot show, survives until then; the badge always shows the true
// value. After the owner changes the value itself it calls `refresh()`. GUI thread only.
#pragma once

#include <QWidget>

#include <functional>
#include <optional>

class QLabel;
class QPushButton;
class QSlider;

namespace tessra {

// A number owned elsewhere: how to read it and how to write it.
struct DoubleBinding {
  std::function<double()> get;
  std::function<void(double)> set;
};

class SettingsSlider : public QWidget {
  Q_OBJECT

 public:
  struct Options {
    QString title;
    DoubleBinding value;
    double lower = 0;
    double upper = 1;
    double step = 0.1;
    std::optional<QString> description = std::nullopt;
    std::optional<QString> leftHint = std::nullopt;
    std::optional<QString> centerHint = std::nullopt;
    std::optional<QString> rightHint = std::nullopt;
    // What "Reset" writes; without it there is no "Reset".
    std::optional<double> defaultValue = std::nullopt;
    // The badge text; absent, or giving nothing, means the two-decimal form.
    std::function<std::optional<QString>(double)> customFormatter = nullptr;
  };

  explicit SettingsSlider(Options options, QWidget* parent = nullptr);

  // The value with exactly two fraction digits in the current locale ("0.50", "-2.00", "0,50").
  static QString formattedValue(double value);

  // Reads the binding again.
  void refresh();

  QString badgeText() const;
  QSlider* slider() const { return m_slider; }
  QPushButton* resetButton() const { return m_reset; }
  QLabel* badge() const { return m_badge; }

 private:
  double valueAt(int position) const;
  int positionOf(double value) const;
  void write(double value);

  Options m_options;
  int m_steps = 0;
  QLabel* m_badge = nullptr;
  QSlider* m_slider = nullptr;
  QPushButton* m_reset = nullptr;
  bool m_syncing = false;
};

}  // namespace tessra
