// The help section that tells where an API key comes from: the service's instructions and a
// button that opens the service's API-keys page in the browser.
//
//   rows->addWidget(new GetOpenAiKeyView(page));
//
// The page's address is a build setting (TESSRA_API_KEYS_PAGE). Nothing in the program places
// the section yet; it is kept for forms that want it. GUI thread only.
#pragma once

#include <QWidget>

class QLabel;

namespace tessra {

class FlatButton;

class GetOpenAiKeyView : public QWidget {
  Q_OBJECT

 public:
  // The service's API-keys page.
  static QString apiKeysPage();

  explicit GetOpenAiKeyView(QWidget* parent = nullptr);

  QLabel* instructionLabel() const { return m_instruction; }
  FlatButton* getKeyButton() const { return m_getKey; }

 private:
  QLabel* m_instruction;
  FlatButton* m_getKey;
};

}  // namespace tessra
