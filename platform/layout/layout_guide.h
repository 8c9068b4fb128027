// A layout guide: an invisible rectangle that takes part in constraint-based layout.
//
// A guide belongs to the widget that owns it (its QObject parent) and lives in that widget's
// coordinates; constraints tie it to the owning widget and its children, and its frame is read
// back after the owning widget's layout pass. GUI thread only.
#pragma once

#include <QObject>
#include <QRectF>

#include "platform/layout/layout_anchor.h"

namespace tessra::platform {

class LayoutGuide : public QObject {
  Q_OBJECT

 public:
  explicit LayoutGuide(QWidget* owningView);

  QWidget* owningView() const;
  // The frame from the last layout pass of the owning view (empty before the first).
  QRectF frame() const { return m_frame; }

 private:
  friend class ConstraintLayout;
  QRectF m_frame;
};

}  // namespace tessra::platform
