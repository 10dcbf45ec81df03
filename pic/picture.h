// Renders the formula pictures and writes them as JPEG files.
#pragma once

#include "formulas.h"
#include "mathlayout.h"

#include <QColor>
#include <QImage>
#include <QString>
#include <QStringList>

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

// Registers the Liberation faces found in fontDir with the application's
// font database. Needs a QGuiApplication. Throws FormulaError when a face
// cannot be loaded.
MathFonts loadFonts(const QString& fontDir);

// The folder of the Liberation fonts found when the program was configured.
QString defaultFontDir();

// Lays out and paints one picture. Throws FormulaError when the markup is
// wrong or the formula does not fit the picture.
QImage renderPicture(const FormulaPicture& picture, const MathFonts& fonts, const PictureLayout& layout = {});

// Renders every picture of formulaPictures() and writes it as JPEG into dir
// (created when missing). Returns the paths written. Throws on any failure.
QStringList writePictures(const QString& dir, const MathFonts& fonts);

}  // namespace pelmora::pic
