#pragma once

namespace varnetto {

// Where users reach the project; the link texts are these addresses.
inline constexpr char kAuthorEmail[] = "varnetto@example.org";
inline constexpr char kHomePage[] = "https://varnetto.example.org";

// The version texts are built from VARNETTO_VERSION, a string literal the
// build defines from the project's version.

}  // namespace varnetto
