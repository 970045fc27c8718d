#include "schemes/StoreFormat.h"

#include "schemes/TextCodec.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <optional>
#include <type_traits>

namespace varnetto {

static_assert(std::endian::native == std::endian::little, "the store file is little-endian");

namespace {

constexpr std::uint8_t kLongText = 0xFF;
constexpr std::uint16_t kLongerText = 0xFFFF;

class ByteReader {
  public:
    explicit ByteReader(std::string_view bytes) : bytes_(bytes) {}

    size_t remaining() const { return bytes_.size() - pos_; }

    template <class T>
    std::optional<T> number() {
        if (remaining() < sizeof(T)) return std::nullopt;
        T value;
        std::memcpy(&value, bytes_.data() + pos_, sizeof(T));
        pos_ += sizeof(T);
        return value;
    }

    // A text as it reads, and the bytes it was stored in (length included).
    struct Text {
        std::string utf8;
        std::string_view stored;
    };

    std::optional<Text> text() {
        const size_t start = pos_;
        const auto shortLength = number<std::uint8_t>();
        if (!shortLength) return std::nullopt;
        std::uint64_t length = *shortLength;
        if (length == kLongText) {
            const auto mid = number<std::uint16_t>();
            if (!mid) return std::nullopt;
            length = *mid;
            if (length == kLongerText) {
                const auto full = number<std::uint32_t>();
                if (!full) return std::nullopt;
                length = *full;
            } else if (length == 0xFFFE) {
                // Marks wide-character text, which this format never holds.
                return std::nullopt;
            }
        }
        if (length > remaining()) return std::nullopt;
        const std::string_view raw = bytes_.substr(pos_, static_cast<size_t>(length));
        pos_ += static_cast<size_t>(length);
        return Text{gb18030ToUtf8(raw), bytes_.substr(start, pos_ - start)};
    }

  private:
    std::string_view bytes_;
    size_t pos_ = 0;
};

template <class T>
void appendNumber(std::string& out, T value) {
    char raw[sizeof(T)];
    std::memcpy(raw, &value, sizeof(T));
    out.append(raw, sizeof(T));
}

void appendText(std::string& out, std::string_view utf8) {
    const std::string bytes = utf8ToGb18030(utf8);
    const size_t length = bytes.size();
    if (length < kLongText) {
        appendNumber<std::uint8_t>(out, static_cast<std::uint8_t>(length));
    } else if (length < 0xFFFE) {
        appendNumber<std::uint8_t>(out, kLongText);
        appendNumber<std::uint16_t>(out, static_cast<std::uint16_t>(length));
    } else {
        appendNumber<std::uint8_t>(out, kLongText);
        appendNumber<std::uint16_t>(out, kLongerText);
        appendNumber<std::uint32_t>(out, static_cast<std::uint32_t>(length));
    }
    out.append(bytes);
}

// Reads every field in storage order; stops at the first field that does not
// fit. Texts that would not be written back as they were stored keep their
// bytes in stored.
struct FieldReader {
    ByteReader& in;
    StoredTexts& stored;
    bool ok = true;
    size_t textPosition = 0;

    void operator()(const char*, std::string& field) { read(field); }
    void operator()(const char*, std::int32_t& field) { read(field); }
    void operator()(const char*, float& field) { read(field); }
    template <class T, size_t N>
    void operator()(const char*, std::array<T, N>& fields) {
        for (T& field : fields) read(field);
    }

    void read(std::string& field) {
        if (!ok) return;
        auto value = in.text();
        ok = value.has_value();
        if (!ok) return;
        std::string written;
        appendText(written, value->utf8);
        if (written != value->stored)
            stored.remember(textPosition, value->utf8, std::string(value->stored));
        ++textPosition;
        field = std::move(value->utf8);
    }
    template <class T>
    void read(T& field) {
        if (!ok) return;
        const auto value = in.number<T>();
        if (value) field = *value;
        ok = value.has_value();
    }
};

struct FieldWriter {
    std::string& out;
    const StoredTexts& stored;
    size_t textPosition = 0;

    void operator()(const char*, const std::string& field) {
        if (const std::string* bytes = stored.bytesFor(textPosition++, field))
            out.append(*bytes);
        else
            appendText(out, field);
    }
    void operator()(const char*, std::int32_t field) { appendNumber(out, field); }
    void operator()(const char*, float field) { appendNumber(out, field); }
    template <class T, size_t N>
    void operator()(const char* name, const std::array<T, N>& fields) {
        for (const T& field : fields) (*this)(name, field);
    }
};

}  // namespace

StoreContents readStoreBytes(std::string_view bytes) {
    StoreContents contents;
    ByteReader in(bytes);
    SchemeListHeader header;
    FieldReader fields{in, header.storedTexts};
    for (auto& value : header.ints) fields.read(value);
    for (auto& text : header.texts) fields.read(text);
    std::int32_t count = 0;
    fields.read(count);
    if (!fields.ok || count < 0) return contents;
    contents.header = std::move(header);
    contents.headerRead = true;

    for (std::int32_t i = 0; i < count; ++i) {
        Scheme scheme;
        FieldReader reader{in, scheme.storedTexts};
        visitSchemeFields(scheme, reader);
        if (!reader.ok) return contents;
        contents.schemes.push_back(std::move(scheme));
    }
    contents.complete = true;
    contents.trailingBytes = in.remaining();
    return contents;
}

std::string storeSizeRefusal(const SchemeListHeader& header, const std::vector<Scheme>& schemes,
                             std::uint64_t size) {
    if (size <= kLargestStore) return {};
    std::string where = "the header";
    std::string field = "texts";
    std::size_t longest = 0;
    for (const std::string& text : header.texts) longest = std::max(longest, text.size());
    for (const Scheme& scheme : schemes) {
        auto consider = [&](const char* name, const std::string& text) {
            if (text.size() <= longest) return;
            longest = text.size();
            where = "scheme \"" + scheme.name + "\"";
            field = name;
        };
        visitSchemeFields(scheme, [&](const char* name, const auto& value) {
            using Field = std::decay_t<decltype(value)>;
            if constexpr (std::is_same_v<Field, std::string>) {
                consider(name, value);
            } else if constexpr (std::is_same_v<Field, std::array<std::string, 8>> ||
                                 std::is_same_v<Field, std::array<std::string, 10>>) {
                for (const std::string& text : value) consider(name, text);
            }
        });
    }
    return "the store would take " + std::to_string(size) + " bytes, more than the " +
           std::to_string(kLargestStore >> 20) +
           " MiB a store may have to be loaded; the longest text is field \"" + field + "\" of " +
           where + " (" + std::to_string(longest) + " bytes)";
}

void appendHeader(std::string& out, const SchemeListHeader& header, std::int32_t count) {
    for (const auto value : header.ints) appendNumber(out, value);
    FieldWriter texts{out, header.storedTexts};
    for (const auto& text : header.texts) texts("texts", text);
    appendNumber(out, count);
}

void appendScheme(std::string& out, const Scheme& scheme) {
    visitSchemeFields(scheme, FieldWriter{out, scheme.storedTexts});
}

}  // namespace varnetto
