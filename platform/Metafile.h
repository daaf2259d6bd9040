#pragma once
// Metafiles of ours: a display list kept by the recording device context,
// written as an enhanced metafile (EMF) or as a placeable plain metafile
// (WMF), and played back into any device context.
//
// Both files use one logical unit per pixel of a 96 dpi reference device.
// Plain metafiles know no paths: a path's figures are drawn as they are given
// and its stroke/fill calls are dropped; clips other than rectangles narrow
// to the shape's bounds there.
#include <QByteArray>

#include <vector>

#include "platform/RecordingDC.h"

struct TDisplayList {
  TSize Size;  // the picture's frame in logical units (at least 1 × 1)
  std::vector<TDCRecord> Records;
};

// Draws every record of `list` into `dc`, in order, as the original calls.
void ReplayDisplayList(const std::vector<TDCRecord>& list, IDeviceContext& dc);

// The bytes of an enhanced metafile: header, one record a call, EOF.
QByteArray EnhancedMetafileBytes(const TDisplayList& list);
// The bytes of a placeable plain metafile (header with checksum, metafile
// header, records, end record).
QByteArray PlainMetafileBytes(const TDisplayList& list);

// The checksum of a placeable header: the XOR of its first ten 16-bit words.
uint16_t PlaceableChecksum(const uint8_t* header);
