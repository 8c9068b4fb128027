// Per-widget settings of constraint-based layout.
//
// A widget whose autoresizing-mask translation is on (the default) keeps the frame it is given:
// constraints may read it but the layout never moves it. Turning the translation off hands its
// frame to the constraints of its parent's layout. A widget's size hint is its intrinsic size;
// the hugging priority (default 250) resists growing beyond it and the compression-resistance
// priority (default 750) resists shrinking below it. The settings end with the widget. GUI thread
// only.
#pragma once

#include <QWidget>

#include "platform/layout/layout_anchor.h"

namespace tessra::platform {

bool translatesAutoresizingMaskIntoConstraints(const QWidget* view);
void setTranslatesAutoresizingMaskIntoConstraints(QWidget* view, bool translates);

LayoutPriority contentHuggingPriority(const QWidget* view, Qt::Orientation orientation);
void setContentHuggingPriority(QWidget* view, LayoutPriority priority, Qt::Orientation orientation);
LayoutPriority contentCompressionResistancePriority(const QWidget* view,
                                                    Qt::Orientation orientation);
void setContentCompressionResistancePriority(QWidget* view, LayoutPriority priority,
                                             Qt::Orientation orientation);

// Runs the pending layout pass of the view's constraint layout, and of those of its children,
// now instead of at the next turn of the event loop.
void layoutSubtreeIfNeeded(QWidget* view);

}  // namespace tessra::platform
