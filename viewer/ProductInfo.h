#pragma once

#include "common/Version.h"  // VARNETTO_VERSION, from which the version texts are built

namespace varnetto {

// Where users reach the project; the link texts are these addresses.
inline constexpr char kAuthorEmail[] = "varnetto@example.org";
inline constexpr char kHomePage[] = "https://varnetto.example.org";

}  // namespace varnetto
