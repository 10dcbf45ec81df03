// Planted long double for the self-test of scripts/check-extended in a build
// whose Extended is the software type, where long double is only the host's
// type (binary128 on arm64): the check must report exactly the lines that
// end in "planted". Not compiled into any program.

#include "engine/in_double.h"
#include "engine/numeric.h"

namespace pelmora {

Extended ThreeQuarters(Extended x) { return x * 0.75L; }  // planted

Extended ThreeQuartersExactly(Extended x) { return x * ExtendedConstant(3, -2); }  // the same bits on every host

PELMORA_IN_DOUBLE("a marked function may read the host's long double")
Extended FromHost(long double v) { return Extended(v) * 2; }

}  // namespace pelmora
