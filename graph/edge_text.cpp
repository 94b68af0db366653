#include "graph/edge_text.hpp"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <limits>
#include <system_error>

namespace veltrix {

namespace {

// What a byte means to the tokenizer; one table lookup per byte decides every branch.
enum Kind : unsigned char { kOther, kSpace, kEnd, kComment, kDelimiter };

struct Table {
    Kind kind[256];
    bool delimited;         // fields end at the delimiter, not at whitespace
    bool blank_delimiter;   // the delimiter is whitespace, so a line of it is still blank
};

// The bytes Python's str.split() and numpy's reader treat as whitespace, line ends aside.
bool is_space(unsigned char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f' || (c >= 0x1c && c <= 0x1f); }

Table make_table(const EdgeTextFormat& format) {
    Table table{};
    for (int c = 0; c < 256; ++c) table.kind[c] = is_space(static_cast<unsigned char>(c)) ? kSpace : kOther;
    for (const char c : format.comments) table.kind[static_cast<unsigned char>(c)] = kComment;
    const auto delimiter = static_cast<unsigned char>(format.delimiter);
    table.delimited = delimiter != 0;
    table.blank_delimiter = table.delimited && is_space(delimiter);
    if (table.delimited) table.kind[delimiter] = kDelimiter;
    table.kind[static_cast<unsigned char>('\n')] = kEnd;
    table.kind[static_cast<unsigned char>('\r')] = kEnd;
    return table;
}

// One piece's output. The line numbers of `error` are within the piece until the join.
struct Piece {
    std::vector<std::int32_t> src, dst;
    std::vector<double> weights;
    std::int64_t lines = 0;
    EdgeTextError error;
};

// A double out of from_chars' range is, as numpy reads it, an infinity when its leading digit
// stands above the units and zero when below: the digits before the point (leading zeros aside),
// or minus the zeros after the point, plus the written exponent, give that position.
double out_of_range(const char* first, const char* last) {
    const bool negative = *first == '-';
    if (*first == '-' || *first == '+') ++first;
    long long position = 0;
    bool point = false, seen = false;
    for (; first < last && *first != 'e' && *first != 'E'; ++first) {
        if (*first == '.') {
            point = true;
            continue;
        }
        seen = seen || *first != '0';
        if (!point && seen) ++position;
        if (point && !seen) --position;
    }
    if (first < last && (*first == 'e' || *first == 'E')) {
        ++first;
        const bool down = *first == '-';
        if (*first == '-' || *first == '+') ++first;
        long long exponent = 0;
        for (; first < last && exponent < 1'000'000'000; ++first) exponent = exponent * 10 + (*first - '0');
        position += down ? -exponent : exponent;
    }
    const double magnitude = position > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    return negative ? -magnitude : magnitude;
}

// numpy's number syntax: from_chars' own plus a leading '+', without the "nan(...)" payloads.
bool parse_double(const char* first, const char* last, double& value) {
    const char* digits = first;
    if (digits < last && *digits == '+') {
        ++digits;
        if (digits < last && *digits == '-') return false;
    }
    if (std::memchr(digits, '(', static_cast<std::size_t>(last - digits)) != nullptr) return false;
    const auto [end, ec] = std::from_chars(digits, last, value);
    if (end != last || digits == last) return false;
    if (ec == std::errc::result_out_of_range) value = out_of_range(first, last);
    else if (ec != std::errc()) return false;
    return true;
}

class Parser {
public:
    Parser(const Table& table, const char* text, const char* begin, const char* end, bool weighted)
        : table_(table), text_(text), p_(begin), end_(end), weighted_(weighted) {}

    void run(Piece& out) {
        const std::int64_t bound = (end_ - p_) / 4 + 1;  // every edge line takes at least 4 bytes but the last
        out.src.reserve(static_cast<std::size_t>(bound));
        out.dst.reserve(static_cast<std::size_t>(bound));
        if (weighted_) out.weights.reserve(static_cast<std::size_t>(bound));
        while (p_ < end_) {
            line_begin_ = p_;
            ++out.lines;
            if (!blank() && !edge(out)) {
                out.error.line = out.lines;
                out.error.line_begin = line_begin_ - text_;
                skip_line();
                out.error.line_end = line_end_ - text_;
                return;
            }
            skip_line();
        }
    }

private:
    Kind kind(const char* p) const { return p < end_ ? table_.kind[static_cast<unsigned char>(*p)] : kEnd; }

    // A field of one column ends here: at whitespace without a delimiter, and at the line's end.
    bool field_ends(const char* p) const {
        const Kind k = kind(p);
        return k == kEnd || k == kComment || (table_.delimited ? k == kDelimiter : k == kSpace);
    }

    const char* skip_spaces(const char* p) const {
        while (kind(p) == kSpace) ++p;
        return p;
    }

    bool blank() const {
        const char* p = line_begin_;
        for (Kind k = kind(p); k == kSpace || (table_.blank_delimiter && k == kDelimiter); k = kind(p)) ++p;
        return kind(p) == kEnd || kind(p) == kComment;
    }

    // Leaves line_end_ at the line's end and p_ past its line end ("\r\n" counts as one).
    void skip_line() {
        const char* p = p_;
        while (p < end_ && *p != '\n' && *p != '\r') ++p;
        line_end_ = p;
        if (p < end_) p += (*p == '\r' && p + 1 < end_ && p[1] == '\n') ? 2 : 1;
        p_ = p;
    }

    // Reports `problem` for the field starting at p, which runs to the next field end.
    bool refuse(Piece& out, EdgeTextProblem problem, const char* field) {
        const char* last = field;
        while (!field_ends(last)) ++last;
        while (last > field && kind(last - 1) == kSpace) --last;
        out.error.problem = problem;
        out.error.field_begin = field - text_;
        out.error.field_end = last - text_;
        return false;
    }

    // Moves p_ from the end of the previous field to the start of column `column`; false when the
    // line has no such column.
    bool next_column(int column) {
        if (column == 0) {
            p_ = skip_spaces(p_);
            return true;
        }
        if (table_.delimited) {
            p_ = skip_spaces(p_);
            if (kind(p_) != kDelimiter) return false;
            p_ = skip_spaces(p_ + 1);
            return true;
        }
        p_ = skip_spaces(p_);
        const Kind k = kind(p_);
        return k != kEnd && k != kComment;
    }

    bool id(Piece& out, std::int64_t& value) {
        const char* field = p_;
        const char* p = p_;
        const bool negative = p < end_ && *p == '-';
        if (p < end_ && (*p == '-' || *p == '+')) ++p;
        const char* digits = p;
        std::uint64_t magnitude = 0;
        bool overflow = false;
        for (unsigned d; p < end_ && (d = static_cast<unsigned char>(*p) - '0') < 10; ++p)
            overflow |= __builtin_mul_overflow(magnitude, 10u, &magnitude) | __builtin_add_overflow(magnitude, d, &magnitude);
        const char* after = table_.delimited ? skip_spaces(p) : p;
        if (p == digits || !field_ends(after)) return refuse(out, EdgeTextProblem::not_integer, field);
        const std::uint64_t limit = negative ? std::uint64_t{1} << 63 : (std::uint64_t{1} << 63) - 1;
        if (overflow || magnitude > limit) return refuse(out, EdgeTextProblem::beyond_64_bits, field);
        value = negative ? static_cast<std::int64_t>(0 - magnitude) : static_cast<std::int64_t>(magnitude);
        p_ = p;
        return true;
    }

    bool weight(Piece& out, double& value) {
        const char* field = p_;
        const char* last = field;
        while (!field_ends(last)) ++last;
        while (last > field && kind(last - 1) == kSpace) --last;
        if (!parse_double(field, last, value)) return refuse(out, EdgeTextProblem::not_number, field);
        p_ = last;
        return true;
    }

    bool in_range(Piece& out, std::int64_t value, const char* field) {
        if (value >= 0 && value < kEdgeTextIdLimit) return true;
        refuse(out, value < 0 ? EdgeTextProblem::negative_id : EdgeTextProblem::id_beyond_32_bits, field);
        out.error.value = value;
        return false;
    }

    // Parses the line at p_ as an edge; false, with the problem noted, when it is refused.
    bool edge(Piece& out) {
        const int columns = weighted_ ? 3 : 2;
        std::int64_t ids[2];
        const char* fields[2];
        double w = 0;
        for (int column = 0; column < columns; ++column) {
            if (!next_column(column)) {
                out.error.problem = EdgeTextProblem::missing_columns;
                return false;
            }
            if (column < 2) {
                fields[column] = p_;
                if (!id(out, ids[column])) return false;
            } else if (!weight(out, w)) {
                return false;
            }
        }
        // As in a whole-table read, a malformed field anywhere on the line outranks an id out of range.
        if (!in_range(out, ids[0], fields[0]) || !in_range(out, ids[1], fields[1])) return false;
        out.src.push_back(static_cast<std::int32_t>(ids[0]));
        out.dst.push_back(static_cast<std::int32_t>(ids[1]));
        if (weighted_) out.weights.push_back(w);
        return true;
    }

    const Table& table_;
    const char* const text_;
    const char* p_;
    const char* const end_;
    const bool weighted_;
    const char* line_begin_ = nullptr;
    const char* line_end_ = nullptr;
};

// The first line start at or after `at`: just past the next line end.
std::int64_t next_line(const char* text, std::int64_t size, std::int64_t at) {
    while (at < size && text[at] != '\n' && text[at] != '\r') ++at;
    if (at < size) at += (text[at] == '\r' && at + 1 < size && text[at + 1] == '\n') ? 2 : 1;
    return at;
}

template <class T>
void append(std::vector<T>& whole, std::int64_t at, const std::vector<T>& piece) {
    if (!piece.empty()) std::memcpy(whole.data() + at, piece.data(), piece.size() * sizeof(T));
}

}  // namespace

int edge_text_pieces(std::int64_t size, int workers, const EdgeTextFormat& format) {
    if (workers <= 1) return 1;
    const std::int64_t worth = size / std::max<std::int64_t>(format.piece_bytes, 1);
    return static_cast<int>(std::clamp<std::int64_t>(worth, 1, std::int64_t{4} * workers));
}

EdgeBlock parse_edge_text(const char* text, std::int64_t size, const EdgeTextFormat& format, Team& team) {
    const Table table = make_table(format);
    const int pieces = edge_text_pieces(size, team.size(), format);
    std::vector<std::int64_t> cut(static_cast<std::size_t>(pieces) + 1, size);
    cut[0] = 0;
    for (int i = 1; i < pieces; ++i)
        cut[i] = std::max(cut[i - 1], next_line(text, size, size / pieces * i));

    std::vector<Piece> parsed(static_cast<std::size_t>(pieces));
    team.run(pieces, [&](int i, int) {
        Parser(table, text, text + cut[i], text + cut[i + 1], format.weighted).run(parsed[i]);
    });

    EdgeBlock block;
    std::vector<std::int64_t> first(static_cast<std::size_t>(pieces) + 1, 0);
    for (int i = 0; i < pieces; ++i) {
        if (parsed[i].error.problem != EdgeTextProblem::none) {
            block.error = parsed[i].error;
            block.error.line += block.lines;
            return block;
        }
        block.lines += parsed[i].lines;
        first[i + 1] = first[i] + static_cast<std::int64_t>(parsed[i].src.size());
    }
    const auto edges = static_cast<std::size_t>(first[pieces]);
    block.src.resize(edges);
    block.dst.resize(edges);
    if (format.weighted) block.weights.resize(edges);
    team.run(pieces, [&](int i, int) {
        append(block.src, first[i], parsed[i].src);
        append(block.dst, first[i], parsed[i].dst);
        append(block.weights, first[i], parsed[i].weights);
        std::vector<std::int32_t>().swap(parsed[i].src);
        std::vector<std::int32_t>().swap(parsed[i].dst);
        std::vector<double>().swap(parsed[i].weights);
    });
    return block;
}

}  // namespace veltrix
