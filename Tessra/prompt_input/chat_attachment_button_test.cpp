#include "Tessra/prompt_input/chat_attachment_button.h"

#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QTest>

#include <gtest/gtest.h>

#include "Tessra/prompt_input/pending_attachment.h"
#include "Tessra/ui_foundation/widget_test_support.h"
#include "testing/temp_dir.h"

namespace tessra {
namespace {

std::vector<QString> texts(const QMenu& menu) {
  std::vector<QString> result;
  for (const QAction* action : menu.actions())
    result.push_back(action->isSeparator() ? QStringLiteral("---") : action->text());
  return result;
}

TEST(AttachButton, ItsPaperclipIsLightUnderADarkIconTheme) {
  testing::TempDir folder;
  testing::useBlackIconTheme(folder.path());
  PendingAttachment pending;
  ChatAttachmentButton button(&pending);
  EXPECT_TRUE(testing::isLight(button.icon()));
}

TEST(AttachButton, PickerAttachesTheChosenFile) {
  testing::TempDir dir;
  QImage image(7, 5, QImage::Format_RGB32);
  image.fill(Qt::green);
  image.save(QString::fromStdString((dir / "shot.png").string()));
  image.save(QString::fromStdString((dir / "photo.jpg").string()), "JPEG");
  dir.write("notes.txt", "picked text");
  dir.write("latin1.txt", std::string("caf\xe9", 4));

  struct Case {
    const char* file;  // null: the picker is cancelled
    std::string expected;
  };
  for (const Case& c :
       {Case{"shot.png", "image shot.png"}, Case{"photo.jpg", "image photo.jpg"},
        Case{"notes.txt", "text picked text notes.txt"}, Case{"latin1.txt", "text before before"},
        Case{nullptr, "text before before"}}) {
    PendingAttachment pending;
    pending.set(ChatAttachment{nullptr, "before", "before"});
    ChatAttachmentButton button(&pending);
    button.show();
    button.onOptionSelected({AttachmentContextMenuAction::UploadFile{}});
    QFileDialog* dialog = button.fileImporter();
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog));
    EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFile);
    EXPECT_TRUE(dialog->nameFilters().front().contains("*.jpg"));
    EXPECT_TRUE(dialog->nameFilters().front().contains("*.txt"));
    dialog->setDirectory(QString::fromStdString(dir.path().string()));
    if (c.file) {
      // As a user does: the name typed into the dialog's name field, then Open.
      auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
      ASSERT_NE(name, nullptr);
      name->setText(QString::fromUtf8(c.file));
      QTest::keyClick(name, Qt::Key_Return);
    } else {
      dialog->reject();
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return button.fileImporter() == nullptr; }, 5000));
    const std::optional<ChatAttachment>& got = pending.value();
    ASSERT_TRUE(got) << (c.file ? c.file : "cancel");
    const std::string described =
        got->image ? "image " + got->fileName.value_or("")
                   : "text " + got->text.value_or("").str() + " " + got->fileName.value_or("");
    EXPECT_EQ(described, c.expected) << (c.file ? c.file : "cancel");
  }
}

TEST(AttachButton, MenuOffersUploadAndScreenshots) {
  PendingAttachment pending;
  ChatAttachmentButton button(&pending);
  std::unique_ptr<QMenu> menu(button.makeContextMenu());
  ASSERT_EQ(texts(*menu).size(), 2u);
  EXPECT_EQ(texts(*menu)[0], "Upload File");
  EXPECT_EQ(texts(*menu)[1], "Take Screenshot");
  QMenu* windows = menu->actions()[1]->menu();
  ASSERT_NE(windows, nullptr);
  EXPECT_EQ(texts(*windows).back(), "Entire Screen");
  EXPECT_EQ(texts(*windows)[texts(*windows).size() - 2], "---");

  windows->actions().back()->trigger();
  ASSERT_TRUE(pending.value());
  EXPECT_EQ(pending.value()->fileName, "Screenshot");
  ASSERT_TRUE(pending.value()->image);
  EXPECT_EQ(pending.value()->image->width, 1920);
  EXPECT_EQ(pending.value()->image->height, 1080);
}

TEST(AttachButton, WindowTitlesAreCutOnCharactersAndKeepTheirAmpersands) {
  const std::string sixty(60, 'x');
  const std::string family = "\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9";  // one grapheme
  struct Case {
    std::string title;
    QString shown;
  };
  for (const Case& c :
       {Case{"Tom & Jerry", "Tom && Jerry"}, Case{sixty, QString::fromStdString(sixty)},
        Case{sixty + "y", QString::fromStdString(sixty + "...")},
        Case{std::string(59, 'x') + family + "z",
             QString::fromStdString(std::string(59, 'x') + family + "...")}}) {
    EXPECT_EQ(ChatAttachmentButton::menuTitle(c.title), c.shown) << c.title;
  }
}

}  // namespace
}  // namespace tessra
