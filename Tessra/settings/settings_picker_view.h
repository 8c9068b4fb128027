// `SettingsPickerView`: the labelled choice row of the settings pages: the title, an optional
// description under it, and a picker of titles on the trailing side.
//
//   auto* row = new SettingsPickerView(title, {}, titles,
//                                      [] { return currentIndex(); },
//                                      [](int index) { choose(index); }, parent);
//
// The row keeps no choice of its own: choosing an entry calls `select` with its position, and
// the picker then shows what `selected` gives. A value in force that is none of the choices
// (-1) selects no entry; the picker shows it by the unlisted title, when there is one, until a
// choice is made. Pages bind a row to a setting with `addPickerRow`
// (Tessra/settings/form_support.h). GUI thread only.
#pragma once

#include <QStringList>
#include <QWidget>

#include <functional>

class QComboBox;

namespace tessra {

class SettingsPickerView : public QWidget {
  Q_OBJECT

 public:
  SettingsPickerView(const QString& title, const QString& description, QStringList titles,
                     std::function<int()> selected, std::function<void(int)> select,
                     QWidget* parent = nullptr);

  // The text shown for a value in force that is none of the choices.
  void setUnlistedTitle(std::function<QString()> title);
  // Shows `selected()` again.
  void refresh();
  QComboBox* picker() const { return m_picker; }

 private:
  std::function<int()> m_selected;
  std::function<void(int)> m_select;
  std::function<QString()> m_unlistedTitle;
  QComboBox* m_picker = nullptr;
};

}  // namespace tessra
