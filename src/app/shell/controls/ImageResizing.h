#pragma once

#include <QIcon>
#include <QImage>
#include <QSize>

// `image` drawn into a new transparent image of exactly `size`, stretched to fill it. A null image
// (there is nothing to draw) comes back as it was given. Safe on any thread.
QImage resizedImage(const QImage& image, const QSize& size);

// The icon's representation that best fits `size`, drawn into an image of exactly that size; a
// null image when the icon has no representation. Icons come from the desktop theme, so this
// belongs on the main thread.
QImage resizedImage(const QIcon& icon, const QSize& size);
