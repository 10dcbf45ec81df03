#pragma once
// Renders the formula pictures and writes them as JPEG files, each at its
// size in the window and at twice that size for high-density screens.

#include <QColor>
#include <QImage>
#include <QPointF>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

#include "formulas.h"
#include "mathlayout.h"

namespace pelmora::pic {

struct PictureLayout {
    int width = 196;  // fits between the list and the output pane
    int height = 68;  // fits above the "Setting" frame
    int mainPx = 13;  // size of the formula lines
    int notePx = 11;  // size of the \small lines
    int marginX = 3;  // free border left and right
    int marginY = 2;  // free border above and below
    int lineGap = 5;  // space between lines, reduced down to minLineGap when needed
    int minLineGap = 2;
    QColor paper = QColor(255, 255, 255);
    QColor ink = QColor(0, 0, 0);
    QColor noteInk = QColor(48, 48, 48);
};

inline constexpr int kJpegQuality = 92;
// The pictures for high-density screens are drawn at this multiple of the
// layout, from the same layout, so that they show exactly the same formula.
inline constexpr int kDoubleScale = 2;

// One line of a picture, laid out: its box with the baseline's left end at
// `origin`, in the picture's pixels.
struct PlacedLine {
    std::unique_ptr<Box> box;
    bool note = false;
    QPointF origin;
};

// Registers the Liberation faces found in fontDir with the application's
// font database. Needs a QGuiApplication. Throws pelmora::Error when a face
// cannot be loaded.
MathFonts LoadFonts(const QString& fontDir);

// The folder of the Liberation fonts found when the program was configured.
QString DefaultFontDir();

// Typesets the lines of a picture and places them, centred, one under the
// other. Throws pelmora::Error when the markup is wrong or the formula does
// not fit the picture.
std::vector<PlacedLine> LayOutPicture(const FormulaPicture& picture, const MathFonts& fonts,
                                      const PictureLayout& layout = {});

// Paints one picture at `scale` times the layout's size. Throws as LayOutPicture.
QImage RenderPicture(const FormulaPicture& picture, const MathFonts& fonts, int scale = 1,
                     const PictureLayout& layout = {});

// Renders every picture of FormulaPictures() and writes it as JPEG into dir
// (created when missing), at its own size under its name and at kDoubleScale
// under DoubleSizePath of the name. Returns the paths of the pictures of the
// layout's size. Throws pelmora::Error on any failure.
QStringList WritePictures(const QString& dir, const MathFonts& fonts);

}  // namespace pelmora::pic
