#pragma once

// IPTC as libvips keeps it: bare IIM datasets (from TIFF), or Photoshop's
// resource block holding them (from JPEG), which is what the JPEG saver
// writes back.

#include <optional>
#include <string>
#include <string_view>

namespace varnetto::detail {

// The block less the datasets naming a place (location, city, province,
// country); nullopt when it is not what it should be, so that it is dropped
// rather than passed on unread.
std::optional<std::string> iptcWithoutPlaces(std::string_view block);

// The IIM datasets of the block, as a TIFF's IPTC tag holds them; empty when
// it has none.
std::string bareIim(std::string_view block);

// The block as a JPEG's APP13 segment holds it: bare datasets are wrapped in
// Photoshop's resource block.
std::string photoshopIptc(std::string_view block);

}  // namespace varnetto::detail
