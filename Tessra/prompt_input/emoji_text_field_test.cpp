#include "Tessra/prompt_input/emoji_text_field.h"

#include <unicode/uchar.h>

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <map>

namespace tessra {
namespace {

char32_t scalar(const QString& text) { return text.toUcs4().front(); }

TEST(RandomEmoji, DrawsOneEmojiScalarFromTheThreeRangesInProportion) {
  std::map<int, int> perRange;
  constexpr int kDraws = 20000;
  for (int i = 0; i < kDraws; ++i) {
    const QString emoji = EmojiTextField::randomEmoji();
    ASSERT_EQ(emoji.toUcs4().size(), 1);
    const char32_t c = scalar(emoji);
    const int range = c >= 0x1F600 && c <= 0x1F64F   ? 0
                      : c >= 0x1F300 && c <= 0x1F5FF ? 1
                      : c >= 0x1F680 && c <= 0x1F6FF ? 2
                                                     : -1;
    ASSERT_NE(range, -1) << std::hex << static_cast<int>(c);
    ASSERT_TRUE(EmojiTextField::lastEmoji(emoji)) << "an emoji by its own test";
    ++perRange[range];
  }
  // Each range is drawn in proportion to its emoji-presentation code points, as the Unicode
  // data of the machine counts them.
  const auto emojiIn = [](char32_t first, char32_t last) {
    int count = 0;
    for (char32_t c = first; c <= last; ++c)
      count += u_hasBinaryProperty(c, UCHAR_EMOJI_PRESENTATION) &&
               !u_hasBinaryProperty(c, UCHAR_EMOJI_MODIFIER);
    return count;
  };
  const double faces = emojiIn(0x1F600, 0x1F64F), symbols = emojiIn(0x1F300, 0x1F5FF),
               transport = emojiIn(0x1F680, 0x1F6FF);
  const double all = faces + symbols + transport;
  EXPECT_NEAR(perRange[0] / double(kDraws), faces / all, 0.015);
  EXPECT_NEAR(perRange[1] / double(kDraws), symbols / all, 0.015);
  EXPECT_NEAR(perRange[2] / double(kDraws), transport / all, 0.015);
}

TEST(EmojiTextField, KeepsExactlyOneEmojiAfterEachEdit) {
  struct Case {
    const char* what;
    QString typed;
    QString expected;  // empty: any random emoji
    bool pickerOpens;
  };
  const QString smile = QString::fromUtf8("😀");
  const QString rocket = QString::fromUtf8("🚀");
  const QString thumbDark = QString::fromUtf8("👍🏿");
  const QString heart = QString::fromUtf8("❤️");
  const QString flag = QString::fromUtf8("🇫🇷");
  const std::vector<Case> cases = {
      {"one emoji stays", smile, smile, false},
      {"a letter after it is removed", smile + "a", smile, true},
      {"a second emoji replaces the first", smile + rocket, rocket, true},
      {"a toned emoji is kept whole", smile + thumbDark, thumbDark, true},
      {"a modifier joins the emoji before it", smile + QString::fromUtf8("🏿"),
       smile + QString::fromUtf8("🏿"), false},
      {"a lone modifier is no emoji", QString::fromUtf8("🏿"), "", true},
      {"nor after a letter", QString::fromUtf8("a🏿"), "", true},
      {"a flag is one emoji", QString::fromUtf8("x") + flag, flag, true},
      {"a digit has the emoji property", "7", "7", true},
      {"a heart with its selector stays as typed", heart, heart, true},
      {"nothing left: a random one", "", "", true},
      {"letters only: a random one", "abc", "", true},
  };
  for (const Case& c : cases) {
    EmojiTextField field;
    QSignalSpy pickerOpened(&field, &EmojiTextField::pickerRequested);
    QSignalSpy changed(&field, &EmojiTextField::emojiChanged);
    field.setText(c.typed);
    field.normalizeText();
    if (c.expected.isEmpty()) {
      EXPECT_EQ(field.text().toUcs4().size(), 1) << c.what;
      EXPECT_NE(field.text(), c.typed) << c.what;
    } else {
      EXPECT_EQ(field.text(), c.expected) << c.what;
    }
    EXPECT_EQ(pickerOpened.count(), c.pickerOpens ? 1 : 0) << c.what;
    ASSERT_EQ(changed.count(), 1) << c.what;
    EXPECT_EQ(changed.front().front().toString(), field.text()) << c.what;
    EXPECT_EQ(field.cursorPosition(), field.text().size()) << c.what;
  }
}

TEST(EmojiTextField, ReturnOpensThePickerAndChangesNothing) {
  EmojiTextField field;
  field.setText(QString::fromUtf8("🚀"));
  QSignalSpy pickerOpened(&field, &EmojiTextField::pickerRequested);
  QTest::keyClick(&field, Qt::Key_Return);
  EXPECT_EQ(pickerOpened.count(), 1);
  EXPECT_EQ(field.text(), QString::fromUtf8("🚀"));

  EmojiTextField withoutPicker;
  QTest::keyClick(&withoutPicker, Qt::Key_Return);
  QTest::keyClicks(&withoutPicker, "q");
  EXPECT_EQ(withoutPicker.text().toUcs4().size(), 1) << "typing a letter into it draws an emoji";
}

}  // namespace
}  // namespace tessra
