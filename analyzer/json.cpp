#include "analyzer/json.h"

namespace analyzer {

nlohmann::ordered_json toJson(const Result&) { return nlohmann::ordered_json::object(); }

}  // namespace analyzer
