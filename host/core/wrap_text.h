#pragma once
#include <string>
#include <string_view>

namespace host {

// Breaks every line longer than `longest` characters (UTF-8 aware) into lines of at most
// `width`, so that a message box stays readable: at the last blank that fits, else after the
// last '/' (long paths), else hard. Shorter lines are kept as written, their blanks included.
std::string wrapText(std::string_view text, std::size_t width = 60, std::size_t longest = 75);

}  // namespace host
