#pragma once
// Record files: MAT files of version 5 (with or without compression, up to version 7), as
// exchanged with the numerical tools our users work with.
#include <cstdint>
#include <string>
#include <vector>

#include "host/core/value.h"

namespace host {

struct MatReadOptions {
    // When set, only the variable of this name is read (the first, if several have it); the
    // others are skipped without being decompressed, and a file without it gives an empty record.
    std::string only;
    // The most one variable may hold once decompressed and converted to doubles.
    std::uint64_t maxVariableBytes = std::uint64_t{64} << 20;
};

// Reads a file into a record whose fields are its variables, in file order.
// - Numeric arrays of any class, logical ones included, become real or complex double matrices;
//   an array without elements becomes the empty value.
// - Character arrays of any encoding become UTF-8 text. A 0x0 array is the empty text. An array
//   of several rows becomes its rows joined by line feeds, each row without the blanks that pad
//   it to the common width.
// - A 1x1 struct becomes a record with its fields in order, nested to any depth; an empty struct
//   becomes the empty value.
// - Cell arrays, struct arrays, sparse and N-dimensional arrays, function handles and objects
//   are refused, naming the variable.
// - Version 7.3 files (HDF5) are refused with a hint to save them as version 7; so are
//   anything but regular files (a FIFO is not waited on), records of more than 4096 fields and
//   files of more than 4096 variables.
// Every failure is a std::runtime_error whose message names the file and says what is wrong in
// words a user understands.
Value readMatFile(const std::string& path, const MatReadOptions& options = {});

// Writes `variables` (a record; otherwise std::invalid_argument) as a version 5 file without
// compression: each field becomes a variable, texts as UTF-16 character rows, numbers as double
// matrices, records as 1x1 structs, the empty value as a 0x0 double. The file goes through
// host::writeFileAtomically, so an existing file is either replaced whole or left as it was.
// Failures throw std::runtime_error such as "cannot write /x/y.mat: Permission denied".
void writeMatFile(const std::string& path, const Value& variables);

// The bytes writeMatFile writes; `path` only names the file in messages.
std::vector<std::uint8_t> matFileBytes(const Value& variables, const std::string& path);

}  // namespace host
