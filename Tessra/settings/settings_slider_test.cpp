#include "Tessra/settings/settings_slider.h"

#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QSlider>
#include <QTest>

#include <gtest/gtest.h>

#include <vector>

namespace tessra {
namespace {

struct Owner {
  double value = 0;
  std::vector<double> writes;
  DoubleBinding binding() {
    return {[this] { return value; },
            [this](double v) {
              value = v;
              writes.push_back(v);
            }};
  }
};

TEST(SettingsSliderTest, BadgeShowsTwoDecimalsInTheCurrentLocale) {
  const struct {
    const char* locale;
    double value;
    const char* badge;
  } cases[] = {
      {"en_US", 0.5, "0.50"}, {"en_US", -0.1, "-0.10"}, {"en_US", -2, "-2.00"},
      {"en_US", 1, "1.00"},   {"de_DE", 0.5, "0,50"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.locale);
    QLocale::setDefault(QLocale(QString::fromLatin1(c.locale)));
    Owner owner{c.value, {}};
    SettingsSlider slider(
        {.title = "Temperature", .value = owner.binding(), .lower = -2, .upper = 2, .step = 0.1});
    EXPECT_EQ(slider.badgeText(), c.badge);
  }
  QLocale::setDefault(QLocale::c());
}

TEST(SettingsSliderTest, FormatterFallsBackForValuesItLeaves) {
  Owner owner{3, {}};
  SettingsSlider slider({.title = "Limit",
                         .value = owner.binding(),
                         .lower = 0,
                         .upper = 30,
                         .step = 1,
                         .customFormatter = [](double v) -> std::optional<QString> {
                           if (v == 0) return std::nullopt;
                           return QString("Last %1").arg(v);
                         }});
  EXPECT_EQ(slider.badgeText(), "Last 3");
  owner.value = 0;
  slider.refresh();
  EXPECT_EQ(slider.badgeText(), QLocale().toString(0.0, 'f', 2));
}

TEST(SettingsSliderTest, AValueOutsideTheRangeSurvivesUntilTheUserMoves) {
  Owner owner{100, {}};
  SettingsSlider slider(
      {.title = "Limit",
       .value = owner.binding(),
       .lower = 0,
       .upper = 30,
       .step = 1,
       .customFormatter = [](double v) { return std::optional(QString::number(v)); }});
  slider.refresh();
  EXPECT_EQ(slider.slider()->value(), 30);
  EXPECT_EQ(slider.badgeText(), "100");
  EXPECT_TRUE(owner.writes.empty());
  EXPECT_EQ(owner.value, 100);

  slider.slider()->triggerAction(QAbstractSlider::SliderSingleStepSub);
  EXPECT_EQ(owner.writes, (std::vector<double>{29}));
  EXPECT_EQ(slider.badgeText(), "29");
}

TEST(SettingsSliderTest, MovesWriteDecimalsExactlyAndResetWritesTheDefault) {
  Owner owner{0, {}};
  SettingsSlider slider({.title = "Temperature",
                         .value = owner.binding(),
                         .lower = 0,
                         .upper = 2,
                         .step = 0.1,
                         .defaultValue = 0.5});
  slider.slider()->setValue(5);
  ASSERT_EQ(owner.writes.size(), 1u);
  EXPECT_EQ(owner.writes.back(), 0.5);  // exactly, so it compares equal to the default
  slider.slider()->setValue(3);
  EXPECT_EQ(owner.writes.back(), 0.3);

  owner.value = 1.7;
  const auto writesBefore = owner.writes.size();
  slider.refresh();  // the owner's own change is shown, not written back
  EXPECT_EQ(owner.writes.size(), writesBefore);
  EXPECT_EQ(slider.slider()->value(), 17);
  ASSERT_NE(slider.resetButton(), nullptr);
  slider.resetButton()->click();
  EXPECT_EQ(owner.value, 0.5);
  EXPECT_EQ(slider.slider()->value(), 5);
  // Reset at the default changes nothing but still writes the same value.
  slider.resetButton()->click();
  EXPECT_EQ(owner.value, 0.5);

  Owner negative{0, {}};
  SettingsSlider penalty(
      {.title = "Penalty", .value = negative.binding(), .lower = -2, .upper = 2, .step = 0.1});
  penalty.slider()->setValue(19);
  EXPECT_EQ(negative.value, -0.1);
  EXPECT_EQ(penalty.resetButton(), nullptr);
}

TEST(SettingsSliderTest, HintsAndDescriptionOnlyWhenGiven) {
  Owner owner;
  SettingsSlider bare({.title = "T", .value = owner.binding()});
  SettingsSlider full({.title = "T",
                       .value = owner.binding(),
                       .description = "Explained",
                       .leftHint = "low",
                       .centerHint = "mid",
                       .rightHint = "high"});
  QStringList bareTexts, fullTexts;
  for (auto* label : bare.findChildren<QLabel*>()) bareTexts << label->text();
  for (auto* label : full.findChildren<QLabel*>()) fullTexts << label->text();
  EXPECT_EQ(bareTexts.size(), 2);  // the title and the badge
  for (const char* text : {"Explained", "low", "mid", "high", "T"})
    EXPECT_TRUE(fullTexts.contains(text)) << text;
}

}  // namespace
}  // namespace tessra
