#include "host/core/mat_file.h"

#include <fcntl.h>
#include <matio.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <deque>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <utility>
#include <vector>

#include "host/core/input_file.h"
#include "host/core/output_file.h"
#include "host/core/text.h"

namespace host {

namespace {

// Limits that keep a hostile file from exhausting memory, time or the stack. Our largest
// legitimate variable is a 983040x2 matrix (16 MB), far below them; a parameter file's record
// has a few dozen fields.
constexpr std::uint64_t kMaxTotalBytes = std::uint64_t{1} << 28;
constexpr std::size_t kMaxVariables = 4096;
constexpr std::size_t kMaxFields = 4096;
constexpr int kMaxDepth = 32;

// Reasons a read fails, turned into messages naming the file by readMatFile.
struct NotMat {};
struct Damaged {};
struct TooLarge {};
struct Unsupported {
    std::string what;
};
// The whole message after "cannot read FILE: ".
struct Refused {
    std::string why;
};

std::string errnoText(int e) {
    return std::generic_category().message(e);
}

// matio reports problems on standard error and knows nothing of our messages; every failure is
// detected from its results instead.
void silenceMatio() {
    static std::once_flag once;
    std::call_once(once, [] { Mat_LogInitFunc("zuno", [](int, char*) {}); });
}

struct VarFree {
    void operator()(matvar_t* v) const { Mat_VarFree(v); }
};
using VarPtr = std::unique_ptr<matvar_t, VarFree>;

struct MatClose {
    void operator()(mat_t* m) const { Mat_Close(m); }
};
using MatPtr = std::unique_ptr<mat_t, MatClose>;

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }

private:
    int fd_;
};

// ---------------------------------------------------------------------------------------------
// Text encodings. Texts are UTF-8 in memory; files hold UTF-16 code units or 8-bit characters.

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Decodes well-formed UTF-8; with `lenient`, each malformed byte becomes U+FFFD, otherwise
// malformed input gives nothing.
std::optional<std::u32string> decodeUtf8(const unsigned char* s, std::size_t n, bool lenient) {
    std::u32string out;
    out.reserve(n);
    std::size_t i = 0;
    while (i < n) {
        const unsigned char b = s[i];
        std::size_t len = 0;
        char32_t c = 0;
        char32_t min = 0;
        if (b < 0x80) {
            len = 1, c = b;
        } else if ((b & 0xE0) == 0xC0) {
            len = 2, c = b & 0x1F, min = 0x80;
        } else if ((b & 0xF0) == 0xE0) {
            len = 3, c = b & 0x0F, min = 0x800;
        } else if ((b & 0xF8) == 0xF0) {
            len = 4, c = b & 0x07, min = 0x10000;
        }
        bool ok = len > 0 && i + len <= n;
        for (std::size_t k = 1; ok && k < len; ++k) {
            ok = (s[i + k] & 0xC0) == 0x80;
            c = (c << 6) | (s[i + k] & 0x3F);
        }
        ok = ok && c >= min && c <= 0x10FFFF && !(c >= 0xD800 && c <= 0xDFFF);
        if (!ok) {
            if (!lenient) return std::nullopt;
            out += U'\uFFFD';
            ++i;
            continue;
        }
        out += c;
        i += len;
    }
    return out;
}

std::vector<std::uint16_t> utf16FromUtf8(const std::string& text) {
    const auto cps =
        *decodeUtf8(reinterpret_cast<const unsigned char*>(text.data()), text.size(), true);
    std::vector<std::uint16_t> units;
    units.reserve(cps.size());
    for (const char32_t c : cps) {
        if (c < 0x10000) {
            units.push_back(static_cast<std::uint16_t>(c));
        } else {
            units.push_back(static_cast<std::uint16_t>(0xD800 + ((c - 0x10000) >> 10)));
            units.push_back(static_cast<std::uint16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        }
    }
    return units;
}

std::u32string decodeUtf16(const std::vector<std::uint16_t>& units) {
    std::u32string out;
    out.reserve(units.size());
    for (std::size_t i = 0; i < units.size(); ++i) {
        const char32_t u = units[i];
        if (u >= 0xD800 && u < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] < 0xE000) {
            out += 0x10000 + ((u - 0xD800) << 10) + (units[i + 1] - 0xDC00);
            ++i;
        } else if (u >= 0xD800 && u < 0xE000) {
            out += U'\uFFFD';
        } else {
            out += u;
        }
    }
    return out;
}

// 8-bit characters are UTF-8 when they decode as such, otherwise Latin-1.
std::u32string decode8bit(const std::vector<unsigned char>& bytes) {
    if (auto utf8 = decodeUtf8(bytes.data(), bytes.size(), false)) return std::move(*utf8);
    return std::u32string(bytes.begin(), bytes.end());
}

// Rows of a character matrix joined by line feeds; the blanks that pad rows to a common width
// are not part of the text.
std::string joinRows(const std::vector<std::u32string>& rows) {
    std::string out;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        std::u32string row = rows[r];
        if (rows.size() > 1) {
            if (r > 0) out += '\n';
            row.erase(row.find_last_not_of(U' ') + 1);
        }
        for (const char32_t c : row) appendUtf8(out, c);
    }
    return out;
}

// Picks the rows out of column-major character data.
template <class Unit>
std::vector<std::vector<Unit>> splitRows(const Unit* data, std::size_t rows, std::size_t cols) {
    std::vector<std::vector<Unit>> out(rows, std::vector<Unit>(cols));
    for (std::size_t c = 0; c < cols; ++c)
        for (std::size_t r = 0; r < rows; ++r) out[r][c] = data[c * rows + r];
    return out;
}

// ---------------------------------------------------------------------------------------------
// Structural check of a version 5 file before matio reads it: every length, dimension and type
// is checked against the bytes actually there, and unsupported content is named.

std::uint64_t padded8(std::uint64_t n) {
    return (n + 7) / 8 * 8;
}

class Bytes {
public:
    Bytes(const std::uint8_t* data, std::size_t size, bool swap)
        : data_(data), size_(size), swap_(swap) {}
    std::size_t size() const { return size_; }
    const std::uint8_t* at(std::size_t pos) const { return data_ + pos; }
    std::uint32_t u32(std::size_t pos) const {
        std::uint32_t v;
        std::memcpy(&v, data_ + pos, sizeof v);
        return swap_ ? __builtin_bswap32(v) : v;
    }
    std::int32_t i32(std::size_t pos) const { return static_cast<std::int32_t>(u32(pos)); }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    bool swap_;
};

struct Element {
    std::uint32_t type = 0;
    std::uint32_t bytes = 0;
    std::size_t data = 0;  // where its data starts
    std::size_t next = 0;  // where the element after it starts
    bool small = false;
};

// The element whose tag is at `pos`; it must end by `end`.
Element readElement(const Bytes& b, std::size_t pos, std::size_t end) {
    if (pos > end || end - pos < 8) throw Damaged{};
    Element e;
    const std::uint32_t word = b.u32(pos);
    if (word >> 16) {  // small element: size and type share one word, the data the next one
        e.type = word & 0xFFFF;
        e.bytes = word >> 16;
        e.data = pos + 4;
        e.next = pos + 8;
        e.small = true;
        if (e.bytes > 4) throw Damaged{};
        return e;
    }
    e.type = word;
    e.bytes = b.u32(pos + 4);
    e.data = pos + 8;
    if (e.bytes > end - e.data) throw Damaged{};
    e.next = static_cast<std::size_t>(std::min<std::uint64_t>(e.data + padded8(e.bytes), end));
    return e;
}

std::size_t numericTypeSize(std::uint32_t type) {
    switch (type) {
        case MAT_T_INT8:
        case MAT_T_UINT8: return 1;
        case MAT_T_INT16:
        case MAT_T_UINT16: return 2;
        case MAT_T_INT32:
        case MAT_T_UINT32:
        case MAT_T_SINGLE: return 4;
        case MAT_T_DOUBLE:
        case MAT_T_INT64:
        case MAT_T_UINT64: return 8;
        default: return 0;
    }
}

std::size_t charTypeSize(std::uint32_t type) {
    switch (type) {
        case MAT_T_UTF8:
        case MAT_T_INT8:
        case MAT_T_UINT8: return 1;
        case MAT_T_UTF16:
        case MAT_T_INT16:
        case MAT_T_UINT16: return 2;
        default: return 0;
    }
}

// "2x3x4"
std::string shapeText(const std::vector<std::uint64_t>& dims) {
    std::string s;
    for (std::size_t i = 0; i < dims.size(); ++i) s += (i ? "x" : "") + std::to_string(dims[i]);
    return s;
}

// Names unsupported classes; nothing for the ones we read.
std::optional<std::string> unsupportedClass(unsigned cls) {
    switch (cls) {
        case MAT_C_CELL: return "a cell array";
        case MAT_C_SPARSE: return "a sparse matrix";
        case MAT_C_FUNCTION: return "a function handle";
        case MAT_C_OBJECT:
        case MAT_C_OPAQUE: return "an object";
        default: return std::nullopt;
    }
}

bool isNumericClass(unsigned cls) {
    return cls >= MAT_C_DOUBLE && cls <= MAT_C_UINT64;
}

// Inflates `size` bytes of compressed data; at most `limit` bytes come out, more is refused
// unless `prefixOnly`, which stops there.
std::vector<std::uint8_t> inflateElement(const std::uint8_t* data, std::size_t size,
                                         std::uint64_t limit, bool prefixOnly = false) {
    z_stream z{};
    if (inflateInit(&z) != Z_OK) throw std::bad_alloc();
    struct End {
        z_stream* z;
        ~End() { inflateEnd(z); }
    } end{&z};
    z.next_in = const_cast<Bytef*>(data);
    z.avail_in = static_cast<uInt>(size);
    std::vector<std::uint8_t> out;
    for (;;) {
        if (z.total_out == out.size()) {
            if (out.size() >= limit) {
                if (prefixOnly) break;
                throw TooLarge{};
            }
            out.resize(std::min<std::uint64_t>(std::max<std::size_t>(out.size() * 2, 1 << 12), limit));
        }
        z.next_out = out.data() + z.total_out;
        z.avail_out = static_cast<uInt>(out.size() - z.total_out);
        const int ret = inflate(&z, Z_NO_FLUSH);
        if (ret == Z_STREAM_END) break;
        if (ret == Z_BUF_ERROR && prefixOnly && z.avail_in == 0) break;
        if (ret != Z_OK) throw Damaged{};  // corrupt, or cut short (Z_BUF_ERROR)
    }
    out.resize(z.total_out);
    return out;
}

class Checker {
public:
    // `maxValues` bounds the numbers and characters of one variable.
    explicit Checker(std::uint64_t maxValues) : maxValues_(maxValues) {}

    // Checks the array element whose data is [begin, end) of `b`: one variable.
    void variable(const Bytes& b, std::size_t begin, std::size_t end) {
        values_ = 0;
        matrix(b, begin, end, {}, 0);
    }

private:
    void count(std::uint64_t n) {
        values_ += n;
        if (values_ > maxValues_) throw TooLarge{};
    }

    // The contents of one array element, [begin, end). `path` is empty for a variable, whose
    // name is then read from the element.
    void matrix(const Bytes& b, std::size_t begin, std::size_t end, std::string path, int depth) {
        if (begin == end) return;  // an empty array may be a bare tag
        if (depth > kMaxDepth)
            throw Unsupported{path + " is nested more than " + std::to_string(kMaxDepth) +
                              " levels deep"};
        const Element flags = readElement(b, begin, end);
        if (flags.type != MAT_T_UINT32 || flags.bytes != 8) throw Damaged{};
        const std::uint32_t f = b.u32(flags.data);
        const unsigned cls = f & 0xFF;
        const bool complex = f & MAT_F_COMPLEX;

        const Element dimsEl = readElement(b, flags.next, end);
        if (dimsEl.type != MAT_T_INT32 || dimsEl.bytes < 8 || dimsEl.bytes % 4) throw Damaged{};
        std::vector<std::uint64_t> dims;
        std::uint64_t numel = 1;
        std::uint64_t beyondTwo = 1;
        for (std::size_t i = 0; i < dimsEl.bytes / 4; ++i) {
            const std::int32_t d = b.i32(dimsEl.data + 4 * i);
            if (d < 0) throw Damaged{};
            dims.push_back(static_cast<std::uint64_t>(d));
            if (__builtin_mul_overflow(numel, dims.back(), &numel)) throw Damaged{};
            if (i >= 2) beyondTwo *= dims.back() == 0 ? 1 : dims.back();
        }

        const Element name = readElement(b, dimsEl.next, end);
        if (name.type != MAT_T_INT8) throw Damaged{};
        if (path.empty()) {
            // Names from the file appear in messages: escaped, never raw.
            path = printable({reinterpret_cast<const char*>(b.at(name.data)), name.bytes});
            if (path.empty()) path = "(unnamed)";
        }

        if (auto what = unsupportedClass(cls)) throw Unsupported{path + " is " + *what};
        if (beyondTwo != 1 && numel != 0)
            throw Unsupported{path + " is a " + std::to_string(dims.size()) +
                              "-dimensional array (" + shapeText(dims) + ")"};
        if (cls == MAT_C_STRUCT) {
            structure(b, name.next, end, path, numel, dims, depth);
        } else if (cls == MAT_C_CHAR) {
            if (numel == 0 && name.next == end) return;
            const Element d = readElement(b, name.next, end);
            const std::size_t size = charTypeSize(d.type);
            if (size == 0) throw Damaged{};
            // UTF-8 data counts bytes, the dimensions count characters.
            const bool ok = d.type == MAT_T_UTF8 ? d.bytes >= numel && d.bytes / 4 <= numel
                                                 : d.bytes == numel * size;
            if (!ok) throw Damaged{};
            count(numel);
        } else if (isNumericClass(cls)) {
            if (numel == 0 && name.next == end) return;
            const Element re = readElement(b, name.next, end);
            numericData(re, numel);
            if (complex) numericData(readElement(b, re.next, end), numel);
            count(complex ? 2 * numel : numel);
        } else if (cls != MAT_C_EMPTY) {
            throw Damaged{};
        }
    }

    static void numericData(const Element& e, std::uint64_t numel) {
        const std::size_t size = numericTypeSize(e.type);
        if (size == 0 || numel > e.bytes || e.bytes != numel * size) throw Damaged{};
    }

    void structure(const Bytes& b, std::size_t pos, std::size_t end, const std::string& path,
                   std::uint64_t numel, const std::vector<std::uint64_t>& dims, int depth) {
        if (numel > 1) throw Unsupported{path + " is a struct array (" + shapeText(dims) + ")"};
        const Element len = readElement(b, pos, end);
        if (len.type != MAT_T_INT32 || len.bytes != 4) throw Damaged{};
        const std::int32_t nameLength = b.i32(len.data);
        const Element names = readElement(b, len.next, end);
        if (names.type != MAT_T_INT8) throw Damaged{};
        if (nameLength <= 0 || nameLength > 4096) {
            if (names.bytes != 0) throw Damaged{};
            return;
        }
        if (names.bytes % nameLength) throw Damaged{};
        if (numel == 0) return;
        if (names.bytes / nameLength > kMaxFields)
            throw Refused{path + " has " + std::to_string(names.bytes / nameLength) +
                          " fields; a record of more than " + std::to_string(kMaxFields) +
                          " fields is not loaded"};
        pos = names.next;
        for (std::size_t i = 0; i < names.bytes / nameLength; ++i) {
            const char* n = reinterpret_cast<const char*>(b.at(names.data + i * nameLength));
            const std::string fieldName(n, strnlen(n, static_cast<std::size_t>(nameLength)));
            const Element m = readElement(b, pos, end);
            if (m.small || m.type != MAT_T_MATRIX) throw Damaged{};
            matrix(b, m.data, m.data + m.bytes, path + "." + printable(fieldName), depth + 1);
            pos = m.next;
        }
    }

    std::uint64_t maxValues_;
    std::uint64_t values_ = 0;
};

// ---------------------------------------------------------------------------------------------
// matio variables to values. matio only ever sees variables that passed the checks above; the
// checks here guard against our reading of its results.

template <class T>
void widen(const void* src, std::size_t n, double* dst) {
    const T* p = static_cast<const T*>(src);
    for (std::size_t k = 0; k < n; ++k) dst[k] = static_cast<double>(p[k]);
}

std::vector<double> toDoubles(matio_types type, const void* src, std::size_t n) {
    std::vector<double> out(n);
    switch (type) {
        case MAT_T_DOUBLE: std::memcpy(out.data(), src, n * sizeof(double)); break;
        case MAT_T_SINGLE: widen<float>(src, n, out.data()); break;
        case MAT_T_INT8: widen<std::int8_t>(src, n, out.data()); break;
        case MAT_T_UINT8: widen<std::uint8_t>(src, n, out.data()); break;
        case MAT_T_INT16: widen<std::int16_t>(src, n, out.data()); break;
        case MAT_T_UINT16: widen<std::uint16_t>(src, n, out.data()); break;
        case MAT_T_INT32: widen<std::int32_t>(src, n, out.data()); break;
        case MAT_T_UINT32: widen<std::uint32_t>(src, n, out.data()); break;
        case MAT_T_INT64: widen<std::int64_t>(src, n, out.data()); break;
        case MAT_T_UINT64: widen<std::uint64_t>(src, n, out.data()); break;
        default: throw Damaged{};
    }
    return out;
}

Value numericValue(const matvar_t& v, std::size_t rows, std::size_t cols, std::size_t numel) {
    if (numel == 0) return {};
    const std::size_t size = numericTypeSize(v.data_type);
    if (size == 0 || v.data_size != static_cast<int>(size) || !v.data || v.nbytes / size < numel)
        throw Damaged{};
    if (!v.isComplex) return Value::matrix(rows, cols, toDoubles(v.data_type, v.data, numel));
    const auto* parts = static_cast<const mat_complex_split_t*>(v.data);
    if (!parts->Re || !parts->Im) throw Damaged{};
    return Value::matrix(rows, cols, toDoubles(v.data_type, parts->Re, numel),
                         toDoubles(v.data_type, parts->Im, numel));
}

std::string textValue(const matvar_t& v, std::size_t rows, std::size_t cols, std::size_t numel) {
    if (numel == 0) return {};
    const std::size_t size = charTypeSize(v.data_type);
    if (size == 0 || v.data_size != static_cast<int>(size) || !v.data || v.nbytes / size < numel)
        throw Damaged{};
    std::vector<std::u32string> out;
    if (size == 2) {
        for (const auto& row : splitRows(static_cast<const std::uint16_t*>(v.data), rows, cols))
            out.push_back(decodeUtf16(row));
    } else if (v.nbytes == numel) {
        for (const auto& row : splitRows(static_cast<const unsigned char*>(v.data), rows, cols))
            out.push_back(decode8bit(row));
    } else {
        // Multi-byte UTF-8: the dimensions count characters, so decode before splitting rows.
        const auto cps = decodeUtf8(static_cast<const unsigned char*>(v.data), v.nbytes, true);
        if (rows == 1) {
            out.push_back(*cps);
        } else if (cps->size() == numel) {
            for (const auto& row : splitRows(cps->data(), rows, cols))
                out.emplace_back(row.begin(), row.end());
        } else {
            throw Damaged{};
        }
    }
    return joinRows(out);
}

Value toValue(matvar_t* v, const std::string& path, int depth) {
    if (!v || v->rank < 2 || !v->dims) throw Damaged{};
    if (depth > kMaxDepth)
        throw Unsupported{path + " is nested more than " + std::to_string(kMaxDepth) +
                          " levels deep"};
    std::uint64_t numel = 1;
    std::uint64_t beyondTwo = 1;
    std::vector<std::uint64_t> dims(v->dims, v->dims + v->rank);
    for (int i = 0; i < v->rank; ++i) {
        if (__builtin_mul_overflow(numel, dims[i], &numel)) throw Damaged{};
        if (i >= 2 && dims[i] != 0) beyondTwo *= dims[i];
    }
    if (auto what = unsupportedClass(v->class_type)) throw Unsupported{path + " is " + *what};
    if (beyondTwo != 1 && numel != 0)
        throw Unsupported{path + " is a " + std::to_string(dims.size()) + "-dimensional array (" +
                          shapeText(dims) + ")"};
    const std::size_t rows = dims[0];
    const std::size_t cols = dims[1];
    if (v->class_type == MAT_C_EMPTY) return {};
    if (v->class_type == MAT_C_CHAR) return Value(textValue(*v, rows, cols, numel));
    if (isNumericClass(v->class_type)) return numericValue(*v, rows, cols, numel);
    if (v->class_type != MAT_C_STRUCT) throw Damaged{};

    if (numel == 0) return {};
    if (numel > 1) throw Unsupported{path + " is a struct array (" + shapeText(dims) + ")"};
    Value record = Value::record();
    const unsigned n = Mat_VarGetNumberOfFields(v);
    if (n == 0) return record;
    char* const* names = Mat_VarGetStructFieldnames(v);
    if (!names || !v->data || v->nbytes / sizeof(matvar_t*) < n) throw Damaged{};
    for (unsigned i = 0; i < n; ++i) {
        if (!names[i]) throw Damaged{};
        const std::string fieldPath = path + "." + printable(names[i]);
        record.set(names[i], toValue(Mat_VarGetStructFieldByIndex(v, i, 0), fieldPath, depth + 1));
    }
    return record;
}

// The 128-byte header ends with the version and an endian mark that reads "IM" when the file's
// byte order is little-endian. Version 7.3 files are HDF5 containers whose links and sizes can
// make a reader recurse or allocate without bound, so they are refused before anything reads
// them.
bool identify(const std::uint8_t* header, std::size_t size) {
    if (size < 128) throw NotMat{};
    const bool little = header[126] == 'I' && header[127] == 'M';
    if (!little && !(header[126] == 'M' && header[127] == 'I')) throw NotMat{};
    const unsigned version =
        little ? header[124] | header[125] << 8 : header[124] << 8 | header[125];
    if (version == 0x0200)
        throw Refused{"it is a MAT file of version 7.3, which cannot be loaded; save it as "
                      "version 7 instead (save -v7)"};
    if (version != 0x0100) throw NotMat{};
    return little != (std::endian::native == std::endian::little);
}

// Reads up to `size` bytes at `offset`; fewer only at the end of the file.
std::vector<std::uint8_t> readAt(int fd, std::uint64_t offset, std::size_t size) {
    std::vector<std::uint8_t> data(size);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, data.data() + done, size - done,
                                  static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw std::system_error(errno, std::generic_category());
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    data.resize(done);
    return data;
}

// The name of the variable whose array element starts at `data` (its flags, dimensions, name):
// given enough of its beginning. Empty when it cannot be told from these bytes.
std::string variableName(const Bytes& b) {
    try {
        const Element flags = readElement(b, 0, b.size());
        const Element dims = readElement(b, flags.next, b.size());
        const Element name = readElement(b, dims.next, b.size());
        if (name.type != MAT_T_INT8) return {};
        return std::string(reinterpret_cast<const char*>(b.at(name.data)), name.bytes);
    } catch (const Damaged&) {
        return {};
    }
}

// How much of an array element is enough to tell its name.
constexpr std::size_t kNamePeek = 512;

// Walks the file's variables element by element, reading only the wanted ones, and gives
// matio a version 5 file in memory of just these, uncompressed and checked.
class Extractor {
public:
    Extractor(int fd, const MatReadOptions& options) : fd_(fd), options_(options) {}

    // The number of variables taken into `out`, which starts with the file's header.
    std::size_t run(std::uint64_t fileSize, std::vector<std::uint8_t>& out) {
        out = readAt(fd_, 0, 128);
        const bool swap = identify(out.data(), out.size());
        Checker checker(options_.maxVariableBytes / 8);
        std::uint64_t pos = 128;
        std::size_t taken = 0;
        for (std::size_t seen = 0; fileSize - pos >= 8; ++seen) {
            if (seen == kMaxVariables)
                throw Refused{"it holds more than " + std::to_string(kMaxVariables) + " variables"};
            const auto tagBytes = readAt(fd_, pos, 8);
            if (tagBytes.size() < 8) throw Damaged{};
            const Bytes tag(tagBytes.data(), 8, swap);
            const std::uint32_t type = tag.u32(0);
            const std::uint64_t bytes = tag.u32(4);
            if (type != MAT_T_MATRIX && type != MAT_T_COMPRESSED) throw Damaged{};
            if (bytes > fileSize - pos - 8) throw Damaged{};
            const std::uint64_t data = pos + 8;
            // Compressed elements are not padded.
            pos = type == MAT_T_COMPRESSED ? data + bytes
                                           : std::min(data + (bytes + 7) / 8 * 8, fileSize);
            if (!wanted(type, data, bytes, swap)) continue;
            if (bytes > options_.maxVariableBytes + kNamePeek) throw TooLarge{};
            std::vector<std::uint8_t> element = readAt(fd_, data, static_cast<std::size_t>(bytes));
            if (element.size() < bytes) throw Damaged{};
            if (type == MAT_T_COMPRESSED) {
                element = inflateElement(element.data(), element.size(),
                                         options_.maxVariableBytes + kNamePeek);
                const Bytes ib(element.data(), element.size(), swap);
                const Element m = readElement(ib, 0, element.size());
                if (m.small || m.type != MAT_T_MATRIX) throw Damaged{};
                element.erase(element.begin(), element.begin() + 8);
                element.resize(m.bytes);
            }
            checker.variable(Bytes(element.data(), element.size(), swap), 0, element.size());
            total_ += element.size();
            if (total_ > kMaxTotalBytes) throw TooLarge{};
            appendMatrix(out, element, swap);
            ++taken;
            if (!options_.only.empty()) break;
        }
        return taken;
    }

private:
    // Whether the variable at `data` is to be read; tells its name by reading at most a small
    // part of it, decompressing no more than that.
    bool wanted(std::uint32_t type, std::uint64_t data, std::uint64_t bytes, bool swap) const {
        if (options_.only.empty()) return true;
        std::vector<std::uint8_t> head;
        if (type == MAT_T_MATRIX) {
            head = readAt(fd_, data, static_cast<std::size_t>(std::min<std::uint64_t>(bytes, kNamePeek)));
        } else {
            // Compressed data rarely shrinks the head of an element more than tenfold.
            const auto packed = readAt(
                fd_, data, static_cast<std::size_t>(std::min<std::uint64_t>(bytes, 16 * kNamePeek)));
            head = inflateElement(packed.data(), packed.size(), kNamePeek + 8, true);
            if (head.size() < 8) return false;
            head.erase(head.begin(), head.begin() + 8);
        }
        return variableName(Bytes(head.data(), head.size(), swap)) == options_.only;
    }

    static void appendMatrix(std::vector<std::uint8_t>& out, const std::vector<std::uint8_t>& data,
                             bool swap) {
        std::uint32_t tag[2] = {MAT_T_MATRIX, static_cast<std::uint32_t>(data.size())};
        if (swap) tag[0] = __builtin_bswap32(tag[0]), tag[1] = __builtin_bswap32(tag[1]);
        const auto* t = reinterpret_cast<const std::uint8_t*>(tag);
        out.insert(out.end(), t, t + 8);
        out.insert(out.end(), data.begin(), data.end());
        out.resize(out.size() + padded8(data.size()) - data.size());
    }

    int fd_;
    const MatReadOptions& options_;
    std::uint64_t total_ = 0;
};

Value readVariables(int fd, std::uint64_t fileSize, const MatReadOptions& options) {
    std::vector<std::uint8_t> checked;
    const std::size_t expected = Extractor(fd, options).run(fileSize, checked);

    // matio reads a file by name; this one lives in memory only.
    const Fd memory(::memfd_create("zuno-mat", MFD_CLOEXEC));
    if (memory.get() < 0) throw std::system_error(errno, std::generic_category());
    for (std::size_t done = 0; done < checked.size();) {
        const ssize_t n = ::write(memory.get(), checked.data() + done, checked.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) throw std::bad_alloc();
        done += static_cast<std::size_t>(n);
    }
    std::vector<std::uint8_t>().swap(checked);
    const std::string fdPath = "/proc/self/fd/" + std::to_string(memory.get());
    const MatPtr mat(Mat_Open(fdPath.c_str(), MAT_ACC_RDONLY));
    if (!mat || Mat_GetVersion(mat.get()) != MAT_FT_MAT5) throw Damaged{};

    Value variables = Value::record();
    for (std::size_t i = 0; i < expected; ++i) {
        const VarPtr var(Mat_VarReadNext(mat.get()));
        if (!var) throw Damaged{};
        // Unnamed variables hold the writer's private data, not ours.
        if (!var->name || !*var->name) continue;
        variables.set(var->name, toValue(var.get(), printable(var->name), 0));
    }
    return variables;
}

// ---------------------------------------------------------------------------------------------
// Values to matio variables.

// Names other tools accept; checked in ASCII whatever the locale.
bool isValidName(const std::string& name) {
    const auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    if (name.empty() || name.size() > 63 || !letter(name[0])) return false;
    for (const char c : name)
        if (!letter(c) && !digit(c) && c != '_') return false;
    return true;
}

// Builds matio variables that borrow the values' data instead of copying it; the builder owns
// the converted texts and complex part pointers, and both it and the values must outlive the
// variables.
class Builder {
public:
    explicit Builder(std::string errorPrefix) : prefix_(std::move(errorPrefix)) {}

    VarPtr build(const std::string& name, const std::string& path, const Value& v, int depth) {
        if (!isValidName(name))
            throw std::runtime_error(prefix_ + "\"" + path +
                                     "\" is not a valid variable name (up to 63 letters, digits "
                                     "and underscores, starting with a letter)");
        if (depth > kMaxDepth)
            throw std::runtime_error(prefix_ + path + " is nested more than " +
                                     std::to_string(kMaxDepth) + " levels deep");
        VarPtr var;
        constexpr int borrow = MAT_F_DONT_COPY_DATA;
        switch (v.kind()) {
            case Value::Kind::Empty: {
                std::size_t dims[2] = {0, 0};
                var.reset(Mat_VarCreate(name.c_str(), MAT_C_DOUBLE, MAT_T_DOUBLE, 2, dims, nullptr,
                                        borrow));
                break;
            }
            case Value::Kind::Numeric: {
                std::size_t dims[2] = {v.rows(), v.cols()};
                auto* re = const_cast<double*>(v.real().data());
                if (v.isComplex()) {
                    auto& parts = complexParts_.emplace_back(
                        mat_complex_split_t{re, const_cast<double*>(v.imag().data())});
                    var.reset(Mat_VarCreate(name.c_str(), MAT_C_DOUBLE, MAT_T_DOUBLE, 2, dims,
                                            &parts, borrow | MAT_F_COMPLEX));
                } else {
                    var.reset(Mat_VarCreate(name.c_str(), MAT_C_DOUBLE, MAT_T_DOUBLE, 2, dims, re,
                                            borrow));
                }
                break;
            }
            case Value::Kind::Text: {
                auto& units = texts_.emplace_back(utf16FromUtf8(v.text()));
                std::size_t dims[2] = {units.empty() ? 0u : 1u, units.size()};
                var.reset(Mat_VarCreate(name.c_str(), MAT_C_CHAR, MAT_T_UTF16, 2, dims,
                                        units.data(), borrow));
                break;
            }
            case Value::Kind::Record: {
                const auto names = v.fieldNames();
                std::vector<const char*> fields;
                for (const auto& n : names) fields.push_back(n.c_str());
                fields.push_back(nullptr);
                std::size_t dims[2] = {1, 1};
                var.reset(Mat_VarCreateStruct2(name.c_str(), 2, dims, fields.data()));
                if (!var) break;
                for (std::size_t i = 0; i < names.size(); ++i) {
                    VarPtr field =
                        build(names[i], path + "." + names[i], v.fieldValue(i), depth + 1);
                    Mat_VarSetStructFieldByIndex(var.get(), i, 0, field.release());
                }
                break;
            }
        }
        if (!var) throw std::runtime_error(prefix_ + "could not prepare " + path);
        return var;
    }

private:
    std::string prefix_;
    std::deque<std::vector<std::uint16_t>> texts_;
    std::deque<mat_complex_split_t> complexParts_;
};

// Reads the whole of a file that may be larger than memory allows; the descriptor's offset is
// at the end then.
std::vector<std::uint8_t> contents(int fd) {
    std::vector<std::uint8_t> out;
    std::uint8_t chunk[1 << 16];
    for (;;) {
        const ssize_t n = ::pread(fd, chunk, sizeof chunk, static_cast<off_t>(out.size()));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw std::system_error(errno, std::generic_category());
        if (n == 0) return out;
        out.insert(out.end(), chunk, chunk + n);
    }
}

}  // namespace

Value readMatFile(const std::string& path, const MatReadOptions& options) {
    silenceMatio();
    const std::string prefix = "cannot read " + path + ": ";
    try {
        const InputFile file(path);
        return readVariables(file.fd(), file.size(), options);
    } catch (const NotMat&) {
        throw std::runtime_error(prefix + "it is not a MAT file");
    } catch (const Damaged&) {
        throw std::runtime_error(prefix + "the file is damaged or incomplete");
    } catch (const TooLarge&) {
        throw std::runtime_error(prefix + "the file holds more data than can be loaded");
    } catch (const Refused& e) {
        throw std::runtime_error(prefix + e.why);
    } catch (const Unsupported& e) {
        throw std::runtime_error(prefix + e.what +
                                 ", but only numbers, texts and single structures can be loaded");
    } catch (const std::system_error& e) {
        throw std::runtime_error(prefix + e.code().message());
    } catch (const std::bad_alloc&) {
        throw std::runtime_error(prefix + "there is not enough memory");
    }
}

std::vector<std::uint8_t> matFileBytes(const Value& variables, const std::string& path) {
    if (!variables.isRecord())
        throw std::invalid_argument("writeMatFile needs a record of variables, not " +
                                    variables.describe());
    silenceMatio();
    const std::string prefix = "cannot write " + path + ": ";

    Builder builder(prefix);
    std::vector<VarPtr> vars;
    for (std::size_t i = 0; i < variables.fieldCount(); ++i)
        vars.push_back(builder.build(variables.fieldName(i), variables.fieldName(i),
                                     variables.fieldValue(i), 0));

    // matio does not report failed writes, so it writes to memory, where only a lack of memory
    // can fail it; the output file's writer checks every byte that goes to the disk.
    const Fd memory(::memfd_create("zuno-mat", MFD_CLOEXEC));
    if (memory.get() < 0) throw std::runtime_error(prefix + errnoText(errno));
    const std::string fdPath = "/proc/self/fd/" + std::to_string(memory.get());
    mat_t* mat = Mat_CreateVer(fdPath.c_str(), nullptr, MAT_FT_MAT5);
    if (!mat) throw std::runtime_error(prefix + "the file could not be prepared");
    for (const auto& var : vars) {
        if (Mat_VarWrite(mat, var.get(), MAT_COMPRESSION_NONE) != 0) {
            Mat_Close(mat);
            throw std::runtime_error(prefix + "there is not enough memory for the variable " +
                                     var->name);
        }
    }
    if (Mat_Close(mat) != 0) throw std::runtime_error(prefix + "there is not enough memory");
    try {
        return contents(memory.get());
    } catch (const std::exception&) {
        throw std::runtime_error(prefix + "there is not enough memory");
    }
}

void writeMatFile(const std::string& path, const Value& variables) {
    writeFileAtomically(path, matFileBytes(variables, path));
}

}  // namespace host
