#pragma once

// Edge-list text, one edge `u v [weight]` per line, parsed a block at a time on a team.
//
// A block is a byte range that ends at a line end (or at the end of the file). It is cut at line
// ends into pieces, each task parses its piece into its own arrays, and the pieces are joined in
// order, so the edges come out in file order whatever the team size. Each piece also counts its
// lines, which turns a piece's line number into the block's.
//
// The accepted text is what the table reader of readers.py accepts: fields split by a delimiter
// byte or, without one, by runs of whitespace; every comment byte starts a comment that runs to the
// line end; lines with nothing but whitespace and comments are skipped; columns after the ones read
// are ignored. Line ends are "\n", "\r\n" and a lone "\r". Ids are written as [+-]digits and must
// lie in [0, 2^31 - 1), so that `max id + 1` vertices fit the 32-bit vertex type.

#include <cstdint>
#include <string>
#include <vector>

#include "parallel/team.hpp"

namespace veltrix {

struct EdgeTextFormat {
    char delimiter = 0;     // 0: any run of whitespace separates fields
    std::string comments;   // every one of these bytes starts a comment
    bool weighted = false;  // read a third column as a double
    std::int64_t piece_bytes = 1 << 20;  // the smallest piece worth a task of its own
};

// Why a line was refused. The first four are malformed text; the last two are well-formed ids out
// of the vertex range, which readers report after the text is known to be well formed.
enum class EdgeTextProblem : int {
    none,
    missing_columns,
    not_integer,
    beyond_64_bits,
    not_number,
    negative_id,
    id_beyond_32_bits,
};

// The first refused line of a block; offsets are bytes from the block's start.
struct EdgeTextError {
    EdgeTextProblem problem = EdgeTextProblem::none;
    std::int64_t line = 0;  // 1-based within the block
    std::int64_t line_begin = 0, line_end = 0;    // the line without its line end
    std::int64_t field_begin = 0, field_end = 0;  // the offending field, without surrounding blanks
    std::int64_t value = 0;  // the id, for the two range problems
};

struct EdgeBlock {
    std::vector<std::int32_t> src, dst;
    std::vector<double> weights;  // empty unless the format is weighted
    std::int64_t lines = 0;  // lines in the block, a last one without line end included
    EdgeTextError error;  // when set, the arrays are empty
};

// The largest id plus one must be a vertex count, so ids stop one short of the int32 maximum.
constexpr std::int64_t kEdgeTextIdLimit = 2147483647;

EdgeBlock parse_edge_text(const char* text, std::int64_t size, const EdgeTextFormat& format,
                          Team& team);

// How many tasks a block of `size` bytes is worth for `workers` workers: several per worker, so
// that an uneven piece does not hold the others back, but none shorter than piece_bytes.
int edge_text_pieces(std::int64_t size, int workers, const EdgeTextFormat& format);

}  // namespace veltrix
