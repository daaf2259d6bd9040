#pragma once
// An independent reader of enhanced metafiles: it knows the records the
// program's metafile writer uses and draws them, by their meaning in the file
// format, into a device context, so that a test can compare the picture a
// file really holds with the bitmap of the same chart.
#include <QByteArray>
#include <QImage>

#include "platform/DeviceContext.h"

// Draws every record of `emf` into `dc`; false when the bytes are not a
// well-formed enhanced metafile or hold a record it does not know.
bool PlayEnhancedMetafile(const QByteArray& emf, IDeviceContext& dc);

// The metafile drawn onto a white picture of its frame's size.
QImage RenderEnhancedMetafile(const QByteArray& emf);

// How many pixels of two pictures of one size differ by more than `tolerance`
// in some channel (all of them when the sizes differ).
int DifferingPixels(const QImage& a, const QImage& b, int tolerance = 0);
