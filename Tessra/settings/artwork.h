// The settings window's and the onboarding's own pictures: one-colour symbols ("gear", "key",
// "checkmark.circle.fill", ...) and full-colour images ("openai", "OnboardingAlwaysOn",
// "AppIcon"), drawn from SVG resources at any size.
//
// A name without a picture gives a null pixmap, which a label shows as nothing. GUI thread only.
#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QSize>
#include <QString>

namespace tessra::artwork {

// The symbol `name` in `color`, `size` logical pixels square.
QPixmap symbol(const QString& name, const QColor& color, int size, qreal devicePixelRatio = 1.0);
QIcon symbolIcon(const QString& name, const QColor& color, int size = 16);

// Whether there is an image `name`.
bool hasImage(const QString& name);
// The image `name` scaled to fill `size` (cropped to keep its proportions).
QPixmap image(const QString& name, QSize size, qreal devicePixelRatio = 1.0);

}  // namespace tessra::artwork
