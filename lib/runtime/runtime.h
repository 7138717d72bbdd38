// The runtime model in one include: settings, call frames, dynamic
// variables, routines by name, errors and comparison.
#pragma once

#include "runtime/compare.h"
#include "runtime/error.h"
#include "runtime/frames.h"
#include "runtime/registry.h"
#include "runtime/settings.h"
#include "runtime/vars.h"
#include "values/cp850.h"
#include "values/value.h"
