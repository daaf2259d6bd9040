#pragma once
// The integer rectangle the drawing layer and the receiver's helpers share
// (one type, so that both may be seen in one unit). Half-open: columns
// Left..Right-1, rows Top..Bottom-1.
struct TRect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
  bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
  bool operator==(const TRect&) const = default;
};
