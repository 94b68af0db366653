// parse_edge_text: one block of edge-list text to numpy arrays, parsed by a team without the
// interpreter lock. The block is read in place through the buffer protocol; it stays exported
// (so a bytearray cannot be resized under the parser) until the call returns.

#include <pybind11/pybind11.h>

#include <string>

#include "bindings/native/arrays.hpp"
#include "bindings/native/registration.hpp"
#include "bindings/native/released.hpp"
#include "graph/edge_text.hpp"
#include "parallel/threads.hpp"

namespace veltrix::bindings::native {

namespace py = pybind11;

namespace {

// A contiguous read-only view of any bytes-like object, released with the object.
class ByteView {
public:
    explicit ByteView(const py::object& source) {
        if (PyObject_GetBuffer(source.ptr(), &view_, PyBUF_SIMPLE) != 0)
            throw py::error_already_set();
    }
    ByteView(const ByteView&) = delete;
    ByteView& operator=(const ByteView&) = delete;
    ~ByteView() { PyBuffer_Release(&view_); }

    const char* data() const { return static_cast<const char*>(view_.buf); }
    std::int64_t size() const { return view_.len; }

private:
    Py_buffer view_{};
};

const char* problem_name(EdgeTextProblem problem) {
    switch (problem) {
        case EdgeTextProblem::missing_columns: return "missing_columns";
        case EdgeTextProblem::not_integer: return "not_integer";
        case EdgeTextProblem::beyond_64_bits: return "beyond_64_bits";
        case EdgeTextProblem::not_number: return "not_number";
        case EdgeTextProblem::negative_id: return "negative_id";
        case EdgeTextProblem::id_beyond_32_bits: return "id_beyond_32_bits";
        case EdgeTextProblem::none: break;
    }
    return "none";
}

py::tuple parse_block(const py::object& block, const std::string& comments,
                      const std::string& delimiter, bool weighted, int threads,
                      std::int64_t piece_bytes) {
    if (delimiter.size() > 1) throw py::value_error("the delimiter must be a single byte");
    if (delimiter == "\n" || delimiter == "\r")
        throw py::value_error("the delimiter cannot be a line end");
    if (piece_bytes < 1) throw py::value_error("piece_bytes must be positive");
    EdgeTextFormat format;
    format.delimiter = delimiter.empty() ? '\0' : delimiter[0];
    format.comments = comments;
    format.weighted = weighted;
    format.piece_bytes = piece_bytes;
    const ByteView text(block);
    const int workers = get_thread_count(threads);
    EdgeBlock parsed = without_lock([&](Interrupt* interrupt) {
        Team team(edge_text_pieces(text.size(), workers, format) > 1 ? workers : 1, interrupt);
        return parse_edge_text(text.data(), text.size(), format, team);
    });
    py::object problem = py::none();
    if (parsed.error.problem != EdgeTextProblem::none) {
        const EdgeTextError& e = parsed.error;
        problem = py::make_tuple(problem_name(e.problem), e.line, e.line_begin, e.line_end,
                                 e.field_begin, e.field_end, e.value);
    }
    py::object weights = py::none();
    if (weighted) weights = owned_array(std::move(parsed.weights));
    return py::make_tuple(owned_array(std::move(parsed.src)), owned_array(std::move(parsed.dst)),
                          weights, parsed.lines, problem);
}

}  // namespace

void register_edge_text(py::module_& m) {
    m.def("parse_edge_text", &parse_block, py::arg("block"), py::kw_only(),
          py::arg("comments") = std::string(), py::arg("delimiter") = std::string(),
          py::arg("weighted") = false, py::arg("threads") = -1,
          py::arg("piece_bytes") = std::int64_t{1} << 20,
          R"(Parse a block of edge-list text (bytes-like, ending at a line end or the file's end).

Returns (src, dst, weights, lines, problem): int32 ids, float64 weights or None, the number of
lines in the block, and None or (kind, line, line_begin, line_end, field_begin, field_end, value)
for the first refused line (1-based line number and byte offsets within the block; the arrays are
then empty). comments and delimiter are bytes; an empty delimiter splits at runs of whitespace.
piece_bytes is the smallest piece of the block given to one task.)");
}

}  // namespace veltrix::bindings::native
