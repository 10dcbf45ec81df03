#pragma once
// Everything the front ends need of the variate engine.
#include "engine/continuous.h"
#include "engine/derived.h"
#include "engine/discrete.h"
#include "engine/error.h"
#include "engine/gamma.h"
#include "engine/numeric.h"
#include "engine/uniform.h"
