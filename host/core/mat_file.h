#pragma once
// Record files: MAT files of version 5 (read and written) and 7.3 (read only), as exchanged
// with the numerical tools our users work with.
#include <string>

#include "host/core/value.h"

namespace host {

// Reads a whole file into a record whose fields are its variables, in file order (version 7.3
// files list them by name).
// - Numeric arrays of any class, logical ones included, become real or complex double matrices;
//   an array without elements becomes the empty value.
// - Character arrays of any encoding become UTF-8 text. A 0x0 array is the empty text. An array
//   of several rows becomes its rows joined by line feeds, each row without the blanks that pad
//   it to the common width.
// - A 1x1 struct becomes a record with its fields in order, nested to any depth; an empty struct
//   becomes the empty value.
// - Cell arrays, struct arrays, sparse and N-dimensional arrays, function handles and objects
//   are refused, naming the variable.
// Every failure is a std::runtime_error whose message names the file and says what is wrong in
// words a user understands.
Value readMatFile(const std::string& path);

// Writes `variables` (a record; otherwise std::invalid_argument) as a version 5 file without
// compression: each field becomes a variable, texts as UTF-16 character rows, numbers as double
// matrices, records as 1x1 structs, the empty value as a 0x0 double. The file is written under a
// temporary name in the same folder and then renamed over `path`, so an existing file is either
// replaced whole or left as it was. Failures throw std::runtime_error such as
// "cannot write /x/y.mat: Permission denied".
void writeMatFile(const std::string& path, const Value& variables);

}  // namespace host
