#include "schemes/SchemeJson.h"

#include "schemes/ReservedSettings.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <set>

namespace varnetto {

namespace {

using nlohmann::json;
using nlohmann::ordered_json;

// Finite floats print as the shortest decimal that reads back to the same
// 32-bit value; infinities and NaNs (JSON has none) as their bit pattern.
ordered_json floatToJson(float value) {
    if (std::isfinite(value)) return static_cast<double>(value);
    char bits[16];
    std::snprintf(bits, sizeof bits, "0x%08X", std::bit_cast<std::uint32_t>(value));
    return std::string(bits);
}

struct ExportVisitor {
    ordered_json& out;
    void operator()(const char* name, const std::string& v) { out[name] = v; }
    void operator()(const char* name, std::int32_t v) { out[name] = v; }
    void operator()(const char* name, float v) { out[name] = floatToJson(v); }
    template <class T, size_t N>
    void operator()(const char* name, const std::array<T, N>& values) {
        ordered_json array = ordered_json::array();
        for (const T& v : values) {
            if constexpr (std::is_same_v<T, float>)
                array.push_back(floatToJson(v));
            else
                array.push_back(v);
        }
        out[name] = std::move(array);
    }
};

class ImportContext {
  public:
    explicit ImportContext(std::string where) : where_(std::move(where)) {}

    [[noreturn]] void fail(const std::string& field, const std::string& why) const {
        throw JsonStoreError("field \"" + field + "\" of " + where_ + ": " + why);
    }

    void read(const std::string& field, const json& value, std::string& out) const {
        if (!value.is_string()) fail(field, "expected a string");
        out = value.get<std::string>();
        // A NUL ends a path for the system ("/out/a\0b" is "/out/a"); other
        // control characters have no place in names and paths either. Only a
        // caption may span lines.
        const bool caption = field == "textContent";
        for (const unsigned char c : out) {
            if (c >= 0x20 && c != 0x7F) continue;
            if (caption && (c == '\t' || c == '\n' || c == '\r')) continue;
            char code[32];
            std::snprintf(code, sizeof code, "control character U+%04X", c);
            fail(field, code);
        }
    }
    void read(const std::string& field, const json& value, std::int32_t& out) const {
        if (value.is_number_unsigned()) {
            const auto v = value.get<std::uint64_t>();
            if (v > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()))
                fail(field, "number out of the 32-bit range");
            out = static_cast<std::int32_t>(v);
        } else if (value.is_number_integer()) {
            const auto v = value.get<std::int64_t>();
            if (v < std::numeric_limits<std::int32_t>::min() ||
                v > std::numeric_limits<std::int32_t>::max())
                fail(field, "number out of the 32-bit range");
            out = static_cast<std::int32_t>(v);
        } else {
            fail(field, "expected an integer");
        }
    }
    void read(const std::string& field, const json& value, float& out) const {
        if (value.is_number()) {
            const double v = value.get<double>();
            if (std::isfinite(v) && std::fabs(v) > std::numeric_limits<float>::max())
                fail(field, "number out of the 32-bit float range");
            out = static_cast<float>(v);
            return;
        }
        if (value.is_string()) {
            const std::string text = value.get<std::string>();
            unsigned bits = 0;
            char tail = 0;
            if (std::sscanf(text.c_str(), "0x%8X%c", &bits, &tail) == 1 && text.size() == 10) {
                out = std::bit_cast<float>(static_cast<std::uint32_t>(bits));
                return;
            }
        }
        fail(field, "expected a number");
    }
    template <class T, size_t N>
    void read(const std::string& field, const json& value, std::array<T, N>& out) const {
        if (!value.is_array() || value.size() != N)
            fail(field, "expected an array of " + std::to_string(N) + " values");
        for (size_t i = 0; i < N; ++i)
            read(field + "[" + std::to_string(i) + "]", value[i], out[i]);
    }

  private:
    std::string where_;
};

struct ImportVisitor {
    const json& object;
    const ImportContext& context;
    std::set<std::string>& seen;
    template <class T>
    void operator()(const char* name, T& field) {
        seen.insert(name);
        const auto found = object.find(name);
        if (found != object.end()) context.read(name, *found, field);
    }
};

Scheme schemeFromJson(const json& object, size_t position) {
    std::string where = "scheme " + std::to_string(position + 1);
    if (object.is_object() && object.contains("name") && object["name"].is_string())
        where += " (\"" + object["name"].get<std::string>() + "\")";
    const ImportContext context(where);
    if (!object.is_object()) throw JsonStoreError(where + " is not an object");
    Scheme scheme;
    std::set<std::string> known;
    visitSchemeFields(scheme, ImportVisitor{object, context, known});
    // A named setting wins over its slot in the reserved arrays, which older
    // exports hold alone.
    for (const ReservedSetting& setting : reservedSettings) {
        known.insert(std::string(setting.name));
        const auto found = object.find(setting.name);
        if (found == object.end()) continue;
        const std::string field(setting.name);
        if (setting.kind == ReservedSlotKind::Text) {
            context.read(field, *found, scheme.reservedTexts[setting.slot]);
            continue;
        }
        std::int32_t value = 0;
        context.read(field, *found, value);
        const std::int32_t largest = setting.isNumber()
                                         ? setting.maximum
                                         : static_cast<std::int32_t>(setting.valueCount) - 1;
        if (value < 0 || value > largest)
            context.fail(field, "expected 0 to " + std::to_string(largest));
        scheme.reservedInts[setting.slot] = value;
    }
    for (const auto& item : object.items())
        if (!known.count(item.key())) context.fail(item.key(), "unknown field");
    return scheme;
}

}  // namespace

ordered_json storeToJson(const SchemeStore& store) {
    const SchemeListHeader& header = store.header();
    ordered_json document;
    document["header"]["ints"] = header.ints;
    document["header"]["texts"] = header.texts;
    ordered_json schemes = ordered_json::array();
    for (const Scheme& scheme : store) {
        ordered_json object = ordered_json::object();
        visitSchemeFields(scheme, ExportVisitor{object});
        // Settings at their default are left out, so that a store from before
        // them exports as it did and an older program still imports it.
        for (const ReservedSetting& setting : reservedSettings) {
            if (setting.kind == ReservedSlotKind::Text) {
                if (!scheme.reservedTexts[setting.slot].empty())
                    object[std::string(setting.name)] = scheme.reservedTexts[setting.slot];
            } else if (const std::int32_t value = reservedValue(scheme, setting.id); value != 0) {
                object[std::string(setting.name)] = value;
            }
        }
        schemes.push_back(std::move(object));
    }
    document["schemes"] = std::move(schemes);
    return document;
}

JsonStore storeFromJson(const json& document) {
    if (!document.is_object()) throw JsonStoreError("the document is not a JSON object");
    for (const auto& item : document.items())
        if (item.key() != "header" && item.key() != "schemes")
            throw JsonStoreError("unknown top-level field \"" + item.key() + "\"");
    JsonStore result;
    if (document.contains("header")) {
        const json& header = document["header"];
        const ImportContext context("the header");
        if (!header.is_object()) throw JsonStoreError("\"header\" is not an object");
        for (const auto& item : header.items()) {
            if (item.key() == "ints")
                context.read("ints", item.value(), result.header.ints);
            else if (item.key() == "texts")
                context.read("texts", item.value(), result.header.texts);
            else
                context.fail(item.key(), "unknown field");
        }
    }
    if (document.contains("schemes")) {
        const json& schemes = document["schemes"];
        if (!schemes.is_array()) throw JsonStoreError("\"schemes\" is not an array");
        for (size_t i = 0; i < schemes.size(); ++i)
            result.schemes.push_back(schemeFromJson(schemes[i], i));
    }
    return result;
}

}  // namespace varnetto
