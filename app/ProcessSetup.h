#pragma once

// The process set-up moved into the imaging runtime.
#include "imaging/ImagingRuntime.h"
