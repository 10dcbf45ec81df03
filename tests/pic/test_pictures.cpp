// The formula pictures: names, size, JPEG settings, ink inside the frame,
// reproducible bytes, the double-size versions, the row's parameters, and the
// typesetter's own rules.
#include "app/jpeg.h"
#include "formulas.h"
#include "mathlayout.h"
#include "picture.h"
#include "tests/expected_rows.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdlib>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <jpeglib.h>

using namespace pelmora::pic;
using pelmora::Error;
using pelmora::app::DoubleSizePath;
using pelmora::app::EncodeJpeg;
using pelmora::app::LoadJpegFile;

namespace {

// The distribution list, its picture files and its field labels (the part
// before any blank: "m (a<m<b)" is m), row by row.
struct Row {
    const char* caption;
    const char* file;
    std::vector<std::string> labels;
};

const std::vector<Row>& rows() {
    static const std::vector<Row> table = [] {
        std::vector<Row> all;
        for (const pelmora::testing::ExpectedRow& expected : pelmora::testing::kExpectedRows) {
            Row row{expected.caption, expected.picture, {}};
            for (std::string label : {expected.label1, expected.label2, expected.label3}) {
                if (!label.empty()) row.labels.push_back(label.substr(0, label.find(' ')));
            }
            all.push_back(row);
        }
        return all;
    }();
    return table;
}

// How each field label is written in the formulas.
const std::map<std::string, std::string>& symbols() {
    static const std::map<std::string, std::string> table = {
        {"a", "a"},      {"b", "b"},         {"m", "m"},      {"n", "n"},         {"p", "p"},
        {"r", "r"},      {"d1", "d_1"},      {"d2", "d_2"},   {"afa", "α"},       {"beta", "β"},
        {"lambda", "λ"}, {"mean", "μ"},      {"sigma", "σ"},  {"delta", "δ"},
    };
    return table;
}

const MathFonts& fonts() {
    static const MathFonts loaded = LoadFonts(DefaultFontDir());
    return loaded;
}

std::string markupOf(const FormulaPicture& picture) {
    std::string all;
    for (const char* line : picture.lines) all += std::string(line) + "\n";
    return all;
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll();
}

// The header of a JPEG file as libjpeg reads it.
struct Header {
    bool ok = false;
    int width = 0;
    int height = 0;
    int components = 0;
    bool progressive = false;
    bool jfif = false;
    std::vector<std::pair<int, int>> sampling;
};

struct JumpError {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

void jumpOnError(j_common_ptr info) { std::longjmp(reinterpret_cast<JumpError*>(info->err)->jump, 1); }

Header readHeader(const QByteArray& bytes) {
    Header h;
    jpeg_decompress_struct info{};
    JumpError err{};
    info.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = jumpOnError;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&info);
        h.ok = false;
        return h;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.constData()), (unsigned long)bytes.size());
    jpeg_read_header(&info, TRUE);
    h.width = int(info.image_width);
    h.height = int(info.image_height);
    h.components = info.num_components;
    h.progressive = info.progressive_mode;
    h.jfif = info.saw_JFIF_marker;
    for (int c = 0; c < info.num_components; ++c) {
        h.sampling.emplace_back(info.comp_info[c].h_samp_factor, info.comp_info[c].v_samp_factor);
    }
    jpeg_destroy_decompress(&info);
    h.ok = true;
    return h;
}

int luminance(const QImage& image, int x, int y) {
    const QRgb px = image.pixel(x, y);
    return (299 * qRed(px) + 587 * qGreen(px) + 114 * qBlue(px)) / 1000;
}

// Writes all pictures once into a temporary folder shared by the tests.
class WrittenPictures : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new QTemporaryDir();
        ASSERT_TRUE(dir_->isValid());
        written_ = new QStringList(WritePictures(dir_->path(), fonts()));
    }
    static void TearDownTestSuite() {
        delete written_;
        delete dir_;
        written_ = nullptr;
        dir_ = nullptr;
    }
    static QString path(const char* file) { return QDir(dir_->path()).filePath(QString::fromUtf8(file)); }
    static QString doublePath(const char* file) { return DoubleSizePath(path(file)); }

    static QTemporaryDir* dir_;
    static QStringList* written_;
};

QTemporaryDir* WrittenPictures::dir_ = nullptr;
QStringList* WrittenPictures::written_ = nullptr;

}  // namespace

TEST(PictureTable, OnePictureForEachRowInListOrder) {
    const auto& pictures = FormulaPictures();
    ASSERT_EQ(pictures.size(), rows().size());
    for (size_t i = 0; i < rows().size(); ++i) {
        EXPECT_STREQ(pictures[i].caption, rows()[i].caption) << "row " << i;
        EXPECT_STREQ(pictures[i].file, rows()[i].file) << "row " << i;
    }
}

TEST(PictureTable, FormulasUseExactlyTheParametersOfTheirRow) {
    const std::vector<std::string> greek = {"α", "β", "λ", "μ", "σ", "δ"};
    for (size_t i = 0; i < rows().size(); ++i) {
        const std::string markup = markupOf(FormulaPictures()[i]);
        std::set<std::string> wanted;
        for (const std::string& label : rows()[i].labels) {
            const std::string& symbol = symbols().at(label);
            wanted.insert(symbol);
            EXPECT_NE(markup.find(symbol), std::string::npos) << rows()[i].file << " does not show " << label;
        }
        // A Greek parameter letter that the row has no field for would be a
        // parameter the user cannot set.
        for (const std::string& g : greek) {
            if (!wanted.count(g)) {
                EXPECT_EQ(markup.find(g), std::string::npos) << rows()[i].file << " shows " << g;
            }
        }
    }
}

TEST(PictureTable, ConstructionRowsShowWhatIsDrawn) {
    // Beta scales two exponentials; F reduces to their quotient; the
    // noncentral F gives both chi-squares the same noncentrality.
    const auto& pictures = FormulaPictures();
    EXPECT_NE(markupOf(pictures[0]).find(R"(\frac{a E_1}{a E_1 + b E_2})"), std::string::npos);
    EXPECT_NE(markupOf(pictures[10]).find(R"(\frac{E_1}{E_2})"), std::string::npos);
    const std::string noncentralF = markupOf(pictures[24]);
    EXPECT_NE(noncentralF.find("χ^2(d_1, δ)"), std::string::npos);
    EXPECT_NE(noncentralF.find("χ^2(d_2, δ)"), std::string::npos);
}

TEST_F(WrittenPictures, EveryFileIsWrittenUnderItsName) {
    ASSERT_EQ(written_->size(), qsizetype(rows().size()));
    QStringList names = QDir(dir_->path()).entryList(QDir::Files, QDir::Name);
    QStringList expected;
    for (const Row& row : rows()) {
        expected << QString::fromUtf8(row.file) << DoubleSizePath(QString::fromUtf8(row.file));
    }
    expected.sort();
    EXPECT_EQ(names, expected);
}

TEST_F(WrittenPictures, HeadersAreBaselineJfifWithFullColourResolution) {
    for (const Row& row : rows()) {
        for (const int scale : {1, 2}) {
            const QString file = scale == 1 ? path(row.file) : doublePath(row.file);
            const Header h = readHeader(readFile(file));
            ASSERT_TRUE(h.ok) << file.toStdString();
            EXPECT_EQ(h.width, 196 * scale) << file.toStdString();
            EXPECT_EQ(h.height, 68 * scale) << file.toStdString();
            EXPECT_EQ(h.components, 3) << file.toStdString();
            EXPECT_FALSE(h.progressive) << file.toStdString();
            EXPECT_TRUE(h.jfif) << file.toStdString();
            for (const auto& [hs, vs] : h.sampling) {
                EXPECT_EQ(hs, 1) << file.toStdString();
                EXPECT_EQ(vs, 1) << file.toStdString();
            }
        }
    }
}

TEST_F(WrittenPictures, DecodeToTheSpaceAboveTheSettingFrame) {
    for (const Row& row : rows()) {
        const QImage image = LoadJpegFile(path(row.file));
        // Image2 sits at 192, 72; the "Setting" frame starts at 144 and the
        // output pane at 392.
        EXPECT_LE(192 + image.width(), 392) << row.file;
        EXPECT_LE(72 + image.height(), 144) << row.file;
    }
}

TEST_F(WrittenPictures, InkStaysInsideAndIsDarkOnLight) {
    for (const Row& row : rows()) {
        const QImage image = LoadJpegFile(path(row.file));
        ASSERT_EQ(image.size(), QSize(196, 68));
        // Nothing clipped: the outermost pixel ring is paper.
        int border = 255;
        for (int x = 0; x < image.width(); ++x) {
            border = std::min({border, luminance(image, x, 0), luminance(image, x, image.height() - 1)});
        }
        for (int y = 0; y < image.height(); ++y) {
            border = std::min({border, luminance(image, 0, y), luminance(image, image.width() - 1, y)});
        }
        EXPECT_GE(border, 235) << row.file << " has ink on its edge";
        // Some real text (the shortest formula has about 140 dark pixels),
        // and mostly light paper.
        int dark = 0;
        int light = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const int l = luminance(image, x, y);
                dark += l < 100;
                light += l > 230;
            }
        }
        EXPECT_GE(dark, 80) << row.file;
        EXPECT_GE(light, image.width() * image.height() * 3 / 4) << row.file;
    }
}

// The double-size picture is the same drawing, not another layout: averaged
// over blocks of 2 x 2 pixels it gives the picture of the window's size within
// the blur of two JPEG encodings. (The pictures differ by 15 to 25 levels of
// grey per ink pixel; the same drawing one pixel off by about 200.)
TEST_F(WrittenPictures, DoubleSizeIsTheSameDrawing) {
    for (const Row& row : rows()) {
        const QImage small = LoadJpegFile(path(row.file));
        const QImage large = LoadJpegFile(doublePath(row.file));
        ASSERT_EQ(large.size(), small.size() * 2) << row.file;
        long long difference = 0;
        long long ink = 0;
        for (int y = 0; y < small.height(); ++y) {
            for (int x = 0; x < small.width(); ++x) {
                const int average = (luminance(large, 2 * x, 2 * y) + luminance(large, 2 * x + 1, 2 * y) +
                                     luminance(large, 2 * x, 2 * y + 1) + luminance(large, 2 * x + 1, 2 * y + 1)) /
                                    4;
                difference += std::abs(average - luminance(small, x, y));
                ink += luminance(small, x, y) < 160;
            }
        }
        ASSERT_GT(ink, 0) << row.file;
        EXPECT_LT(double(difference) / double(ink), 40) << row.file;
    }
}

// Each line of Beta, F and Noncentral F (which explain a construction in
// three lines) stands at least kLegiblePx high in the window: the rows from the first to
// the last holding ink within the line's place, at the size shown. Lines of
// small type (11 pixels) come to about 10 rows; lines set at the formula size
// (13 pixels) with their parentheses, scripts or capitals and descenders to 12
// or more.
TEST_F(WrittenPictures, LinesOfTheConstructionPicturesAreLegible) {
    constexpr int kLegiblePx = 12;
    for (const char* file : {"beta.jpg", "f.jpg", "noncenf.jpg"}) {
        const auto picture = std::find_if(FormulaPictures().begin(), FormulaPictures().end(),
                                          [&](const FormulaPicture& p) { return std::string(p.file) == file; });
        ASSERT_NE(picture, FormulaPictures().end()) << file;
        const QImage image = LoadJpegFile(path(file));
        const std::vector<PlacedLine> lines = LayOutPicture(*picture, fonts());
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const int top = int(lines[i].origin.y() - std::ceil(lines[i].box->ascent));
            const int bottom = int(lines[i].origin.y() + std::ceil(lines[i].box->descent));
            int first = -1;
            int last = -1;
            for (int y = std::max(top, 0); y < std::min(bottom, image.height()); ++y) {
                for (int x = 0; x < image.width(); ++x) {
                    if (luminance(image, x, y) >= 160) continue;
                    if (first < 0) first = y;
                    last = y;
                    break;
                }
            }
            EXPECT_GE(last - first + 1, kLegiblePx) << file << " line " << i + 1;
        }
    }
}

TEST_F(WrittenPictures, NoTwoPicturesAreAlike) {
    std::set<QByteArray> seen;
    for (const Row& row : rows()) EXPECT_TRUE(seen.insert(readFile(path(row.file))).second) << row.file;
}

TEST_F(WrittenPictures, SameFormulasGiveSameBytes) {
    QTemporaryDir again;
    ASSERT_TRUE(again.isValid());
    WritePictures(again.path(), fonts());
    for (const Row& row : rows()) {
        for (const QString& file : {path(row.file), doublePath(row.file)}) {
            const QByteArray first = readFile(file);
            ASSERT_FALSE(first.isEmpty()) << file.toStdString();
            EXPECT_EQ(first, readFile(QDir(again.path()).filePath(QFileInfo(file).fileName()))) << file.toStdString();
        }
    }
}

// The encoder and the window's decoder agree on size and colour.
TEST(Jpeg, DecoderReadsBackWhatTheEncoderWrote) {
    QImage image(30, 20, QImage::Format_RGB32);
    image.fill(QColor(20, 120, 220));
    const QByteArray bytes = EncodeJpeg(image, kJpegQuality);
    const QImage back =
        pelmora::app::DecodeJpeg(reinterpret_cast<const unsigned char*>(bytes.constData()), std::size_t(bytes.size()));
    ASSERT_EQ(back.size(), QSize(30, 20));
    EXPECT_NEAR(qRed(back.pixel(0, 0)), 20, 3);
    EXPECT_NEAR(qGreen(back.pixel(0, 0)), 120, 3);
    EXPECT_NEAR(qBlue(back.pixel(0, 0)), 220, 3);
}

TEST(Typesetter, RefusesBrokenMarkup) {
    for (const char* bad : {R"(\frac{1}{2)", R"(x})", R"(x^2^3)", R"(\nosuch{x})", R"(\left( x)", R"(\left[ x \right])",
                            R"(x \right))", R"(\sqrt)", R"(\text{a\b})"}) {
        EXPECT_THROW(Typeset(QString::fromUtf8(bad), fonts(), 13), Error) << bad;
    }
}

TEST(Typesetter, RefusesCharactersTheFontsLack) {
    // U+2208 (element of) is not in the Liberation faces; drawing it would
    // show a fallback box or another font's glyph.
    EXPECT_THROW(Typeset(QString::fromUtf8("x ∈ A"), fonts(), 13), Error);
    EXPECT_THROW(Typeset(QString::fromUtf8(R"(\text{中})"), fonts(), 13), Error);
}

TEST(Typesetter, ScriptsRaiseAndLower) {
    const auto base = Typeset("x", fonts(), 13);
    const auto sup = Typeset("x^2", fonts(), 13);
    const auto sub = Typeset("x_2", fonts(), 13);
    const auto both = Typeset("x_2^2", fonts(), 13);
    EXPECT_GT(sup->ascent, base->ascent + 3);
    EXPECT_GT(sub->descent, base->descent + 1);
    EXPECT_GT(both->ascent, base->ascent + 3);
    EXPECT_GT(both->descent, base->descent + 1);
    // scripts are set smaller than the base
    const auto two = Typeset("2", fonts(), 13);
    EXPECT_LT(sup->width - base->width, two->width);
}

TEST(Typesetter, FractionStacksAroundTheAxis) {
    const auto one = Typeset("1", fonts(), 13);
    const auto frac = Typeset(R"(\frac{1}{1})", fonts(), 13);
    // numerator above the bar, denominator below it, both at full size
    EXPECT_GE(frac->Height(), 2 * one->Height() + 3);
    EXPECT_GT(frac->ascent, one->ascent);
    EXPECT_GT(frac->descent, 3);
    const auto nested = Typeset(R"(\frac{\frac{1}{1}}{1})", fonts(), 13);
    EXPECT_LT(nested->Height(), 3 * one->Height() + 6);  // inner parts step down in size
}

TEST(Typesetter, MinusIsBinaryOnlyBetweenOperands) {
    const qreal a = Typeset("a", fonts(), 13)->width;
    const qreal b = Typeset("b", fonts(), 13)->width;
    const qreal signed_ = Typeset("-b", fonts(), 13)->width;
    const qreal difference = Typeset("a - b", fonts(), 13)->width;
    // a - b has medium spaces on both sides of the minus; -b has none
    EXPECT_GT(difference - a - b, signed_ - b + 4);
    // inside scripts the binary spacing is dropped
    const qreal inScript = Typeset("x^{a - b}", fonts(), 13)->width - Typeset("x^{ab}", fonts(), 13)->width;
    const qreal minusScript = Typeset("x^{-}", fonts(), 13)->width - Typeset("x", fonts(), 13)->width;
    EXPECT_LT(inScript, minusScript + 1);
}

TEST(Typesetter, SpacesOnlySeparateLetters) {
    EXPECT_DOUBLE_EQ(Typeset("a b", fonts(), 13)->width, Typeset("{a}{b}", fonts(), 13)->width);
    EXPECT_GT(Typeset(R"(a\quad b)", fonts(), 13)->width, Typeset("a b", fonts(), 13)->width + 12);
}

TEST(Typesetter, GrowingParenthesesEncloseTallContent) {
    const auto frac = Typeset(R"(\frac{x}{β})", fonts(), 13);
    const auto fenced = Typeset(R"(\left(\frac{x}{β}\right))", fonts(), 13);
    EXPECT_GE(fenced->ascent, frac->ascent);
    EXPECT_GE(fenced->descent, frac->descent);
    EXPECT_GT(fenced->width, frac->width + 6);
}

TEST(Picture, RefusesFormulasThatDoNotFit) {
    const FormulaPicture wide{"wide.jpg", "Wide", {R"(f(x) = a + b + c + d + e + f + g + h + i + j + k + l + m + n)"}};
    EXPECT_THROW(RenderPicture(wide, fonts()), Error);
    const FormulaPicture tall{"tall.jpg", "Tall", {R"(\frac{\frac{1}{2}}{\frac{3}{4}})", R"(\frac{1}{2})", "x"}};
    EXPECT_THROW(RenderPicture(tall, fonts()), Error);
    const FormulaPicture empty{"empty.jpg", "Empty", {}};
    EXPECT_THROW(RenderPicture(empty, fonts()), Error);
}

TEST(Picture, CentresTheFormula) {
    const FormulaPicture one{"x.jpg", "X", {"x"}};
    const QImage image = RenderPicture(one, fonts());
    int left = image.width(), right = -1, top = image.height(), bottom = -1;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qGray(image.pixel(x, y)) < 160) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
    }
    ASSERT_GE(right, 0);
    EXPECT_NEAR((left + right) / 2.0, image.width() / 2.0, 3);
    EXPECT_NEAR((top + bottom) / 2.0, image.height() / 2.0, 3);
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
