#include "host/core/tag_index.h"

namespace host {

double getTagIndex(std::string_view tag) {
    double value = 0, scale = 1;
    for (auto it = tag.rbegin(); it != tag.rend() && *it >= '0' && *it <= '9'; ++it, scale *= 10)
        value += (*it - '0') * scale;
    return value;
}

}  // namespace host
