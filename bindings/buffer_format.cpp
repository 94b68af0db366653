#include "bindings/buffer_format.hpp"

#include <bit>
#include <cstring>

namespace veltrix::bindings::convert {

namespace {

// The type of a struct-module code of the given size: 'd' and the signed and unsigned integer codes.
Number number_of_code(char code, Py_ssize_t size) {
    if (code == 'd') return size == 8 ? Number::f64 : Number::none;
    const bool is_signed = std::strchr("bhilq", code) != nullptr;
    if (!is_signed && std::strchr("BHILQ", code) == nullptr) return Number::none;
    switch (size) {
        case 1: return is_signed ? Number::i8 : Number::u8;
        case 2: return is_signed ? Number::i16 : Number::u16;
        case 4: return is_signed ? Number::i32 : Number::u32;
        case 8: return is_signed ? Number::i64 : Number::u64;
        default: return Number::none;
    }
}

// A byte-order prefix that keeps the machine's own order: '@' (native sizes), '=' or '<' on a
// little-endian machine (standard sizes). '>' and '!' are refused.
bool is_own_order(char c) {
    return c == '@' || c == '=' || (c == '<' && std::endian::native == std::endian::little);
}

// Size of a code in the struct module's native ('@') or standard ('=', '<') sizes; 0 if unknown.
Py_ssize_t code_size(char code, bool native) {
    switch (code) {
        case 'b':
        case 'B': return 1;
        case 'h':
        case 'H': return 2;
        case 'i':
        case 'I': return 4;
        case 'l':
        case 'L': return native ? static_cast<Py_ssize_t>(sizeof(long)) : 4;
        case 'q':
        case 'Q':
        case 'd': return 8;
        default: return 0;
    }
}

}  // namespace

Number number_of(const char* format, Py_ssize_t itemsize) {
    if (format == nullptr) return Number::none;
    if (is_own_order(*format)) ++format;
    if (format[0] == '\0' || format[1] != '\0') return Number::none;
    return number_of_code(format[0], itemsize);
}

std::vector<Field> record_fields(const char* format, Py_ssize_t itemsize) {
    if (format == nullptr || std::strncmp(format, "T{", 2) != 0) return {};
    std::vector<Field> fields;
    bool native = true;
    Py_ssize_t offset = 0;
    const char* p = format + 2;
    while (*p != '}') {
        if (is_own_order(*p)) {
            native = *p++ == '@';
            continue;
        }
        if (*p == 'x') {
            ++offset;
            ++p;
            continue;
        }
        const Py_ssize_t size = code_size(*p, native);
        if (size == 0 || (native && offset % size != 0)) return {};
        const char* name_end = p[1] == ':' ? std::strchr(p + 2, ':') : nullptr;
        if (name_end == nullptr) return {};
        fields.push_back({number_of_code(*p, size), offset});
        offset += size;
        p = name_end + 1;
    }
    if (p[1] != '\0' || offset != itemsize) return {};
    return fields;
}

}  // namespace veltrix::bindings::convert
