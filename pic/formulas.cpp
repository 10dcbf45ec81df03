#include "formulas.h"

#include "core/rows.h"

namespace pelmora::pic {

// The formulas live in the rows' records, with the rest of each row.
const std::vector<FormulaPicture>& FormulaPictures() {
    static const std::vector<FormulaPicture> pictures = [] {
        std::vector<FormulaPicture> all;
        for (const Distribution& row : kRows) {
            FormulaPicture picture{row.picture + 1, row.caption, {}};  // the name without its separator
            for (const char* line : row.formula) {
                if (line) picture.lines.push_back(line);
            }
            all.push_back(picture);
        }
        return all;
    }();
    return pictures;
}

}  // namespace pelmora::pic
