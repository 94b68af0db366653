#pragma once

// The element types of buffers, read from their struct-module format strings (PEP 3118): the
// one-code formats of plain numeric arrays and the record formats numpy writes for structured
// dtypes. Only formats whose meaning is certain are recognised: the machine's own byte order,
// plain integers and float64, and record fields that are neither nested nor repeated. Anything
// else is `none` or empty, and the caller leaves the array to pybind11's own conversion.

#include <Python.h>

#include <vector>

namespace veltrix::bindings::convert {

// The numeric type of one array entry or record field.
enum class Number { none, i8, i16, i32, i64, u8, u16, u32, u64, f64 };

// One field of a record: its type and its byte offset.
struct Field {
    Number number;
    Py_ssize_t offset;
};

// The type of a buffer holding one plain number per item.
Number number_of(const char* format, Py_ssize_t itemsize);

// The fields of a record format as numpy writes it for a structured dtype, such as
// "T{l:u:l:v:d:w:}" or "T{=I:u:@h:v:xx=d:w:}": padding as 'x', and '@' only where a field sits at
// its natural alignment. Empty for any other format: byte-swapped, nested, repeated or unknown
// fields, or fields whose sizes do not add up to the item size.
std::vector<Field> record_fields(const char* format, Py_ssize_t itemsize);

}  // namespace veltrix::bindings::convert
