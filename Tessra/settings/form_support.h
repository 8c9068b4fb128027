// Small pieces the settings forms share: the rounded card a floating form is drawn on, Return
// pressing a focused button, the one style sheet of the forms, the header of a form section, and
// the rows a form is a short list of: rows over a value the form keeps, and rows that show a
// setting of `UserSettings` by its row of the settings table:
//
//   QVBoxLayout* rows = addSection(page, this, Text::appearanceHeader());
//   addToggleRow(rows, Text::soundEffects(), settings, setting::soundEffectEnabled);
//   addPickerRow(rows, Text::size(), {}, settings, setting::floatingWindowSize,
//                allFloatingWindowSizes());
//   addSliderRow(rows, {.title = Text::topP(), .value = boundTo(m_topP), .upper = 2});
//   addModelPickerRow(rows, Text::model(), m_openAiModel);
//
// A bound row writes the setting at once, shows changes made elsewhere, and is named after the
// setting's key (`QObject::objectName`), so it can be found by it.
// GUI thread only.
#pragma once

#include <QColor>
#include <QFont>
#include <QMargins>
#include <QWidget>

#include <QString>
#include <QStringList>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <cstddef>
#include <span>
#include <string_view>
#include <type_traits>
#include <vector>

#include "Tessra/settings/settings_picker_view.h"
#include "Tessra/settings/settings_slider.h"
#include "Tessra/storage/chat_gpt_models.h"
#include "Tessra/storage/setting.h"
#include "Tessra/storage/settings_enums.h"
#include "Tessra/storage/user_settings.h"
#include "Tessra/ui_foundation/small_views.h"

class QAbstractButton;
class QBoxLayout;
class QComboBox;
class QLabel;
class QPlainTextEdit;

namespace tessra {

class FlatButton;

// The chat models the key form, the OpenAI page and the conversation panel offer, in their order
// (the vision preview is not offered).
inline constexpr std::array<ChatGPTModels, 5> kOfferedModels = {
    ChatGPTModels::gpt4o, ChatGPTModels::gpt4turbo, ChatGPTModels::gpt4_32k, ChatGPTModels::gpt4,
    ChatGPTModels::gpt35};

// Fills a picker with the offered models by their titles and selects `selected`; a model that is
// not offered selects no row.
void fillModelPicker(QComboBox* picker, ChatGPTModels selected);
// Selects `selected` in a filled picker (no row when it is not offered).
void selectModel(QComboBox* picker, ChatGPTModels selected);

// A card filled with `fill`, its corners rounded by `radius`, outlined in `border` (1 pixel).
class RoundedCard : public QWidget {
  Q_OBJECT

 public:
  RoundedCard(QColor fill, QColor border, qreal radius, QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QColor m_fill;
  QColor m_border;
  qreal m_radius;
};

// The rounded card a floating form is drawn on, filling `form`, and the column inside it, whose
// `margins` keep the content off the card's outline and corners.
struct FormCard {
  RoundedCard* card;
  QVBoxLayout* column;
};
FormCard addFormCard(QWidget* form, QMargins margins);

// The foot of a floating form: a divider, then a bar in the button colour whose lower corners
// follow the card's. Both are appended to `column`; the bar is returned for its content.
QWidget* addFormFooter(QVBoxLayout* column, QWidget* card);

// The Cancel and confirm buttons of a form, in a row with room between them, each focusable and
// pressed by Return when focused. `confirmName` names the confirm button for tests.
struct FormButtons {
  FlatButton* cancel;
  FlatButton* confirm;
};
FormButtons addFormButtons(QBoxLayout* row, QWidget* parent, const QString& confirmTitle,
                           const QString& confirmName);

// Return or Enter on the focused `button` clicks it, as Space does.
void clickOnReturn(QAbstractButton* button);

// Gives a widget's text a colour, and optionally a pixel size and weight, through its palette and
// font: style sheets cost every widget under them a slower style, which pages built at every
// switch cannot afford.
void styleText(QWidget* widget, const QColor& color, int pixelSize = 0,
               QFont::Weight weight = QFont::Normal);

// The title over a group of rows, in the secondary colour.
QLabel* sectionHeader(const QString& text, QWidget* parent);

// A group of rows on the form's card colour, rounded, as the grouped forms draw a section.
QWidget* sectionCard(QWidget* parent);

// The one style sheet of the floating forms, built from the palette: the body's background, its
// labels, title, key symbol and fields, each found by its object name. Set on a form's body, it
// reaches every row.
QString formStyleSheet();

// The bold title at the top of a form, centred and wrapped, `pixelSize` high.
QLabel* addFormTitle(QVBoxLayout* column, QWidget* parent, const QString& text, int pixelSize);

// How a section sits in its page: the room around and between its rows, and the room after it.
struct SectionSpacing {
  QMargins margins{12, 10, 12, 10};
  int rowSpacing = 10;
  int after = 14;
};
// The sections of the floating forms, which set their rows further apart.
inline constexpr SectionSpacing kFormSection{{12, 12, 12, 12}, 14, 12};

// Appends a section to a page's column: its header when `header` is not empty, then a card whose
// row layout is returned.
QVBoxLayout* addSection(QVBoxLayout* page, QWidget* parent, const QString& header = {},
                        const SectionSpacing& spacing = {});

// A number the form keeps in `field`, for a slider row.
DoubleBinding boundTo(double& field);

// Appends a slider row, as `SettingsSlider` describes it, to a section's rows.
SettingsSlider* addSliderRow(QVBoxLayout* rows, SettingsSlider::Options options);

// Appends a row with `label` at the leading edge and, at the trailing edge, a picker of the
// offered chat models that shows `model` and writes the picked one to it. A model that is not
// offered selects no row, and stays the model until one is picked.
QComboBox* addModelPickerRow(QVBoxLayout* rows, const QString& label, ChatGPTModels& model);

// Appends a titled text field that grows with its text from `minimumLines` to `maximumLines`
// lines, then scrolls.
QPlainTextEdit* addTextAreaRow(QVBoxLayout* rows, const QString& label, int minimumLines,
                               int maximumLines);

// Appends to a section's rows a centred, wrapped message in `color` and under it, at the trailing
// edge, a text button with an arrow pointing out that opens `url` in the browser.
struct MessageWithLink {
  QLabel* message;
  FlatButton* link;
};
MessageWithLink addMessageWithLink(QVBoxLayout* rows, QWidget* parent, const QString& message,
                                   const QColor& color, const QString& linkTitle,
                                   const QString& url);

// The name of the row bound to the setting with this key.
QString settingRowName(std::string_view key);

// Appends a switch row over a flag of the settings.
SettingsToggleView* addToggleRow(QVBoxLayout* rows, const QString& label, UserSettings& settings,
                                 const Setting<bool>& flag);

// Appends a picker row over a setting, offering `choices` in their order by their titles, with
// `description` under the label when it is not empty. A value in force that is none of the
// choices (chosen before, or stored by an older version) stays in force, and the picker shows
// it by its title until another is picked.
template <Pickable T>
SettingsPickerView* addPickerRow(QVBoxLayout* rows, const QString& label,
                                 const QString& description, UserSettings& settings,
                                 const Setting<T>& setting,
                                 std::type_identity_t<std::span<const T>> choices) {
  QStringList titles;
  for (const T choice : choices) titles << QString::fromStdString(title(choice));
  const std::vector<T> offered(choices.begin(), choices.end());
  auto* row = new SettingsPickerView(
      label, description, titles,
      [&settings, setting, offered] {
        const auto found = std::ranges::find(offered, settings.value(setting));
        return found == offered.end() ? -1 : static_cast<int>(found - offered.begin());
      },
      [&settings, setting, offered](int index) {
        settings.setValue(setting, offered[static_cast<std::size_t>(index)]);
      },
      rows->parentWidget());
  row->setUnlistedTitle(
      [&settings, setting] { return QString::fromStdString(title(settings.value(setting))); });
  row->setObjectName(settingRowName(setting.key));
  settings.onValueChanged(setting, row, &SettingsPickerView::refresh);
  rows->addWidget(row);
  return row;
}

}  // namespace tessra
