#pragma once

#include <string>
#include <string_view>

namespace varnetto {

// Store texts are GB18030 on disk and UTF-8 in memory. GBK's one-byte euro
// sign 0x80 (no GB18030) reads as "€"; other bytes that are not valid GB18030
// become U+FFFD each. Characters that cannot be encoded (only possible for
// invalid UTF-8 input) become '?' each. The store keeps the bytes of texts
// that do not survive this way unchanged (see StoredTexts).
std::string gb18030ToUtf8(std::string_view bytes);
std::string utf8ToGb18030(std::string_view text);

}  // namespace varnetto
