// The formula shown for each distribution row, as markup for mathlayout.h,
// taken from the rows' records (core/rows.h).
#pragma once

#include <vector>

namespace pelmora::pic {

struct FormulaPicture {
    const char* file;     // the name the window looks for in pic/
    const char* caption;  // the row of the distribution list it belongs to
    // One entry per line, top to bottom, in UTF-8. A line that starts with
    // \small is a side note set smaller and lighter.
    std::vector<const char*> lines;
};

// All pictures, in the order of the distribution list.
const std::vector<FormulaPicture>& FormulaPictures();

}  // namespace pelmora::pic
