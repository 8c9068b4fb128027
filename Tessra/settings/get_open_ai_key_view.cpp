#include "Tessra/settings/get_open_ai_key_view.h"

#include <QLabel>
#include <QVBoxLayout>

#include "Tessra/localized_text/localized_text.h"
#include "Tessra/settings/form_support.h"
#include "Tessra/ui_foundation/button_styles.h"
#include "Tessra/ui_foundation/palette.h"

namespace tessra {

QString GetOpenAiKeyView::apiKeysPage() { return QStringLiteral(TESSRA_API_KEYS_PAGE); }

GetOpenAiKeyView::GetOpenAiKeyView(QWidget* parent) : QWidget(parent) {
  auto* section = new QVBoxLayout(this);
  section->setContentsMargins(0, 0, 0, 0);
  const MessageWithLink help = addMessageWithLink(
      addSection(section, this), this, LocalizedText::ApiKey::openAiInstruction(),
      palette::mutedText(), LocalizedText::ApiKey::getYourApiKey(), apiKeysPage());
  m_instruction = help.message;
  m_instruction->setObjectName(QStringLiteral("instruction"));
  m_getKey = help.link;
  m_getKey->setObjectName(QStringLiteral("getYourApiKey"));
}

}  // namespace tessra
