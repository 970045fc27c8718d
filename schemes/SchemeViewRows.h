#pragma once

#include "schemes/Scheme.h"

#include <string>
#include <vector>

namespace varnetto {

// One line of a scheme's read-only parameter list. A step's own row has its
// label flush left, its detail rows begin with eight blanks, and an empty
// row (both texts empty) separates the steps.
struct SchemeViewRow {
    std::string label;
    std::string value;
    bool operator==(const SchemeViewRow&) const = default;
};

// The parameters of scheme grouped by processing step; the details of a step
// appear only while the step is switched on. The scheme viewer and
// "varnetto-cli show" list exactly these rows.
std::vector<SchemeViewRow> schemeViewRows(const Scheme& scheme);

}  // namespace varnetto
