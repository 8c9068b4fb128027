#include "Tessra/settings/settings_picker_view.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHash>
#include <QLabel>
#include <QStyle>
#include <QVBoxLayout>

#include "Tessra/settings/form_support.h"
#include "Tessra/ui_foundation/palette.h"
#include "Tessra/ui_foundation/plain_text.h"

namespace tessra {

namespace {

// A picker as wide as its widest choice, measured once per program: the size depends only on the
// choices, the font and the style, the page is built anew at every visit, and measuring a flag of
// the language choices decodes the emoji font's picture of it each time.
class PickerComboBox final : public QComboBox {
 public:
  PickerComboBox(const QStringList& titles, QWidget* parent) : QComboBox(parent) {
    addItems(titles);
    setSizeAdjustPolicy(QComboBox::AdjustToContents);
  }

  QSize sizeHint() const override { return measured(false); }
  QSize minimumSizeHint() const override { return measured(true); }

 private:
  QSize measured(bool minimum) const {
    static QHash<QString, QSize> sizes;
    QString key = style()->name() + u'\n' + font().key() + u'\n' + (minimum ? u'm' : u'h');
    for (int i = 0; i < count(); ++i) key += u'\n' + itemText(i);
    const auto found = sizes.constFind(key);
    if (found != sizes.constEnd()) return *found;
    const QSize size = minimum ? QComboBox::minimumSizeHint() : QComboBox::sizeHint();
    sizes.insert(key, size);
    return size;
  }
};

}  // namespace

SettingsPickerView::SettingsPickerView(const QString& title, const QString& description,
                                       QStringList titles, std::function<int()> selected,
                                       std::function<void(int)> select, QWidget* parent)
    : QWidget(parent), m_selected(std::move(selected)), m_select(std::move(select)) {
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  auto* labels = new QVBoxLayout;
  labels->setSpacing(2);
  labels->addWidget(plainLabel(title, this));
  if (!description.isEmpty()) {
    auto* second = plainLabel(description, this);
    second->setObjectName(QStringLiteral("description"));
    second->setWordWrap(true);
    styleText(second, palette::mutedText(), 12);
    labels->addWidget(second);
  }
  row->addLayout(labels, 1);
  m_picker = new PickerComboBox(titles, this);
  row->addWidget(m_picker, 0, Qt::AlignVCenter);
  connect(m_picker, &QComboBox::activated, this, [this](int index) {
    if (m_select) m_select(index);
    refresh();
  });
  refresh();
}

void SettingsPickerView::setUnlistedTitle(std::function<QString()> title) {
  m_unlistedTitle = std::move(title);
  refresh();
}

void SettingsPickerView::refresh() {
  const int index = m_selected ? m_selected() : -1;
  // Shown greyed while no choice is current, and never offered in the list.
  m_picker->setPlaceholderText(index < 0 && m_unlistedTitle ? m_unlistedTitle() : QString());
  if (m_picker->currentIndex() != index) m_picker->setCurrentIndex(index);
}

}  // namespace tessra
