#pragma once
// Shared by the window tests: the 27 rows as the user sees them, error
// capture, a deterministic clock, JPEG files made on the spot, and a window
// whose pictures come from a folder of the test's own.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "app/errorbox.h"
#include "app/form1.h"
#include "app/form2.h"
#include "core/generate.h"
#include "core/rows.h"
#include "engine/uniform.h"
#include "tests/expected_rows.h"

namespace testing_app {

// The rows of the list as the panel shows them; an empty label means hidden.
using pelmora::testing::ExpectedRow;
using pelmora::testing::kExpectedRows;
using pelmora::Index;
using pelmora::Row;

// The size of the test picture of row `row`: every row's picture differs,
// so Image2's size tells which one was loaded.
QSize PictureSize(int row);

// Collects what reaches the error box instead of showing it. Without one, an
// error box fails the test at once (it would wait for a click).
class ErrorCapture {
public:
    ErrorCapture();
    ~ErrorCapture();
    QStringList captions;
    QStringList texts;
};

// A clock whose readings are start, start + 1, ...
class CountingClock {
public:
    explicit CountingClock(uint64_t start) : next_(start), scope_({&Read, this}) {}

private:
    static uint64_t Read(void* self) { return static_cast<CountingClock*>(self)->next_++; }
    uint64_t next_;
    pelmora::ScopedClock scope_;
};

// A baseline JPEG of the given size in one colour (or grey).
QByteArray MakeJpeg(int width, int height, QRgb colour, bool grey = false);
// A JPEG of noise, large enough that cutting it leaves data missing.
QByteArray MakeNoiseJpeg(int width, int height);
// `jpeg` with the frame header claiming width x height pixels.
QByteArray WithClaimedSize(QByteArray jpeg, int width, int height);

bool WriteFile(const QString& path, const QByteArray& bytes);

// A folder standing for the executable's: its pic/ holds the 27 pictures.
class ExeFolder {
public:
    ExeFolder();
    QString path() const { return dir_.path() + QLatin1Char('/'); }  // with its trailing separator
    QString picturePath(int row) const;                                 // as the window forms it
    QString picFolder() const { return dir_.path() + QStringLiteral("/pic"); }

private:
    QTemporaryDir dir_;
};

// A shown main window (and the manual window) using `folder` as its executable's.
struct Window {
    explicit Window(const ExeFolder& folder);
    std::unique_ptr<TForm1> form1;
    std::unique_ptr<TForm2> form2;
};

// Selects the row at list index `row` as a user does: a click of the left
// button on it.
void ClickRow(TForm1& form, int row);
inline void ClickRow(TForm1& form, Row row) { ClickRow(form, Index(row)); }

// The pane's lines (without the break after the last one).
QStringList PaneLines(const TForm1& form);

// What the core writes for `row` with these field texts, from the given
// state and a fresh counting clock at `clockStart`; `maxLines` bounds it.
std::vector<std::string> CoreLines(int row, const pelmora::FieldTexts& texts, uint32_t seed,
                                   uint64_t clockStart, std::string_view sep, std::size_t maxLines);

}  // namespace testing_app
