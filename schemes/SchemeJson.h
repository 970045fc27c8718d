#pragma once

#include "schemes/Scheme.h"
#include "schemes/SchemeStore.h"

#include <nlohmann/json.hpp>

#include <stdexcept>
#include <string>
#include <vector>

namespace varnetto {

// Refusal of a JSON store; the message names the field and the scheme.
class JsonStoreError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

nlohmann::ordered_json storeToJson(const SchemeStore& store);

struct JsonStore {
    SchemeListHeader header;
    std::vector<Scheme> schemes;
};

// Missing fields take their new-record values. Throws JsonStoreError.
JsonStore storeFromJson(const nlohmann::json& document);

}  // namespace varnetto
