#include "schemes/TextCodec.h"

#include <iconv.h>

#include <cerrno>
#include <stdexcept>

namespace varnetto {

namespace {

// One converter per thread and direction: iconv descriptors keep state.
class Converter {
  public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
        if (cd_ == reinterpret_cast<iconv_t>(-1))
            throw std::runtime_error(std::string("iconv cannot convert ") + from + " to " + to);
    }
    ~Converter() { iconv_close(cd_); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // replacement gives the text that stands for a byte that cannot be
    // converted.
    template <class Replacement>
    std::string convert(std::string_view input, Replacement replacement) {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        std::string out;
        out.reserve(input.size() * 2);
        char* in = const_cast<char*>(input.data());
        size_t inLeft = input.size();
        char buffer[4096];
        while (inLeft > 0) {
            char* dst = buffer;
            size_t dstLeft = sizeof buffer;
            const size_t rc = iconv(cd_, &in, &inLeft, &dst, &dstLeft);
            out.append(buffer, sizeof buffer - dstLeft);
            if (rc != static_cast<size_t>(-1)) continue;
            if (errno == E2BIG) continue;
            // EILSEQ or EINVAL (truncated sequence at the end): skip one byte.
            out.append(replacement(static_cast<unsigned char>(*in)));
            ++in;
            --inLeft;
            iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        }
        char* dst = buffer;
        size_t dstLeft = sizeof buffer;
        iconv(cd_, nullptr, nullptr, &dst, &dstLeft);
        out.append(buffer, sizeof buffer - dstLeft);
        return out;
    }

  private:
    iconv_t cd_;
};

bool isAscii(std::string_view text) {
    for (const unsigned char c : text)
        if (c >= 0x80) return false;
    return true;
}

}  // namespace

std::string gb18030ToUtf8(std::string_view bytes) {
    if (isAscii(bytes)) return std::string(bytes);
    thread_local Converter converter("UTF-8", "GB18030");
    return converter.convert(bytes, [](unsigned char byte) -> std::string_view {
        return byte == 0x80 ? "\xE2\x82\xAC" : "\xEF\xBF\xBD";  // € or U+FFFD
    });
}

std::string utf8ToGb18030(std::string_view text) {
    if (isAscii(text)) return std::string(text);
    thread_local Converter converter("GB18030", "UTF-8");
    return converter.convert(text, [](unsigned char) -> std::string_view { return "?"; });
}

}  // namespace varnetto
