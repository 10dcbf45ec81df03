#pragma once
// The background gradient: one bitmap of 1024 x 10 pixels, 24 bits a pixel,
// stretched over the main window, behind the tool bar bands and over the
// manual window.

#include <QImage>

namespace pelmora::app {

inline constexpr int kGradientWidth = 1024;
inline constexpr int kGradientHeight = 10;

// A horizontal gradient through the colours #62BAE6 (column 0), #6EC3F2
// (128), #8BD0F9 (256), #A4DBFD (384), #B3E2FF (512), #B2E1FD (640), #A4D9F8
// (768), #8FCDF0 (896) and #77C1E9 (1023), linear between them; all ten rows
// alike. Built once.
const QImage& GradientBitmap();

}  // namespace pelmora::app
