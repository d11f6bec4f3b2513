#pragma once
#include <string_view>

namespace host {

// The decimal number at the end of a control tag ("chkDATAslotActive12" -> 12), 0 without one.
double getTagIndex(std::string_view tag);

}  // namespace host
