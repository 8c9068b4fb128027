#include "Tessra/settings/get_open_ai_key_view.h"

#include <QLabel>
#include <QVBoxLayout>

#include "Tessra/settings/artwork.h"
#include "Tessra/settings/form_support.h"
#include "Tessra/shell/app_delegate.h"
#include "Tessra/ui_foundation/button_styles.h"
#include "Tessra/ui_foundation/localized_text.h"

namespace tessra {

QString GetOpenAiKeyView::apiKeysPage() { return QStringLiteral(TESSRA_API_KEYS_PAGE); }

GetOpenAiKeyView::GetOpenAiKeyView(QWidget* parent) : QWidget(parent) {
  auto* section = new QVBoxLayout(this);
  section->setContentsMargins(0, 0, 0, 0);
  QVBoxLayout* rows = addSection(section, this);
  m_instruction = new QLabel(LocalizedText::ApiKey::openAiInstruction(), this);
  m_instruction->setObjectName(QStringLiteral("instruction"));
  m_instruction->setTextFormat(Qt::PlainText);
  m_instruction->setWordWrap(true);
  m_instruction->setAlignment(Qt::AlignCenter);
  styleText(m_instruction, QColor(0x95, 0x9b, 0xa3));
  rows->addWidget(m_instruction);
  m_getKey =
      new FlatButton(LocalizedText::ApiKey::getYourApiKey(),
                     {.prominent = true, .text = true, .customBase = QColor("#383a3f")}, this);
  m_getKey->setObjectName(QStringLiteral("getYourApiKey"));
  m_getKey->setIcon(artwork::symbolIcon(QStringLiteral("arrow.up.right"), Qt::white));
  rows->addWidget(m_getKey, 0, Qt::AlignRight);
  connect(m_getKey, &QAbstractButton::clicked, this, [] { openURL(apiKeysPage()); });
}

}  // namespace tessra
