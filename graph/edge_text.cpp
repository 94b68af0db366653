#include "graph/edge_text.hpp"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <limits>
#include <memory>
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
bool is_space(unsigned char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f' || (c >= 0x1c && c <= 0x1f);
}

Table make_table(const EdgeTextFormat& format) {
    Table table{};
    for (int c = 0; c < 256; ++c)
        table.kind[c] = is_space(static_cast<unsigned char>(c)) ? kSpace : kOther;
    for (const char c : format.comments) table.kind[static_cast<unsigned char>(c)] = kComment;
    const auto delimiter = static_cast<unsigned char>(format.delimiter);
    table.delimited = delimiter != 0;
    table.blank_delimiter = table.delimited && is_space(delimiter);
    if (table.delimited) table.kind[delimiter] = kDelimiter;
    table.kind[static_cast<unsigned char>('\n')] = kEnd;
    table.kind[static_cast<unsigned char>('\r')] = kEnd;
    return table;
}

// One piece's output, in arrays sized for the most edges its bytes can hold and left
// uninitialised, since only the `edges` written are ever read. The line numbers of `error` are
// within the piece until the join.
struct Piece {
    std::unique_ptr<std::int32_t[]> src, dst;
    std::unique_ptr<double[]> weights;
    std::int64_t edges = 0;
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
        for (; first < last && exponent < 1'000'000'000; ++first)
            exponent = exponent * 10 + (*first - '0');
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
    if (ec == std::errc::result_out_of_range)
        value = out_of_range(first, last);
    else if (ec != std::errc())
        return false;
    return true;
}

// Parses the lines of [begin, end), which must end with a line end: every scan then stops at a
// line end byte without testing for the range's end. `origin` is the offset of `begin` in the block.
class Parser {
public:
    Parser(const Table& table, const char* begin, const char* end, std::int64_t origin,
           bool weighted)
        : table_(table),
          begin_(begin),
          p_(begin),
          end_(end),
          origin_(origin),
          weighted_(weighted) {}

    void run(Piece& out) {
        const std::int64_t bound =
            (end_ - p_) / 4 + 1;  // an edge line takes at least 4 bytes: "1 2\n"
        out.src.reset(new std::int32_t[static_cast<std::size_t>(bound)]);
        out.dst.reset(new std::int32_t[static_cast<std::size_t>(bound)]);
        if (weighted_) out.weights.reset(new double[static_cast<std::size_t>(bound)]);
        while (p_ < end_) {
            line_begin_ = p_;
            ++out.lines;
            if (!blank() && !edge(out)) {
                out.error.line = out.lines;
                out.error.line_begin = offset(line_begin_);
                skip_line();
                out.error.line_end = offset(line_end_);
                return;
            }
            skip_line();
        }
    }

private:
    Kind kind(const char* p) const { return table_.kind[static_cast<unsigned char>(*p)]; }
    std::int64_t offset(const char* p) const { return origin_ + (p - begin_); }

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
        for (Kind k = kind(p); k == kSpace || (table_.blank_delimiter && k == kDelimiter);
             k = kind(p))
            ++p;
        return kind(p) == kEnd || kind(p) == kComment;
    }

    // Leaves line_end_ at the line's end and p_ past its line end ("\r\n" counts as one).
    void skip_line() {
        const char* p = p_;
        while (kind(p) != kEnd) ++p;
        line_end_ = p;
        p_ = p + ((*p == '\r' && p + 1 < end_ && p[1] == '\n') ? 2 : 1);
    }

    // Reports `problem` for the field starting at p, which runs to the next field end.
    bool refuse(Piece& out, EdgeTextProblem problem, const char* field) {
        const char* last = field;
        while (!field_ends(last)) ++last;
        while (last > field && kind(last - 1) == kSpace) --last;
        out.error.problem = problem;
        out.error.field_begin = offset(field);
        out.error.field_end = offset(last);
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
        const bool negative = *p == '-';
        if (*p == '-' || *p == '+') ++p;
        const char* digits = p;
        std::uint64_t magnitude = 0;
        for (unsigned d; (d = static_cast<unsigned char>(*p) - '0') < 10u; ++p)
            magnitude = magnitude * 10 + d;
        const char* after = table_.delimited ? skip_spaces(p) : p;
        if (p == digits || !field_ends(after))
            return refuse(out, EdgeTextProblem::not_integer, field);
        // Up to 19 significant digits cannot wrap 64 bits; the range test then needs no check per digit.
        const char* significant = digits;
        while (*significant == '0') ++significant;
        const std::uint64_t limit =
            negative ? std::uint64_t{1} << 63 : (std::uint64_t{1} << 63) - 1;
        if (p - significant > 19 || magnitude > limit)
            return refuse(out, EdgeTextProblem::beyond_64_bits, field);
        value = negative ? static_cast<std::int64_t>(0 - magnitude)
                         : static_cast<std::int64_t>(magnitude);
        p_ = p;
        return true;
    }

    bool weight(Piece& out, double& value) {
        const char* field = p_;
        const char* last = field;
        while (!field_ends(last)) ++last;
        while (last > field && kind(last - 1) == kSpace) --last;
        if (!parse_double(field, last, value))
            return refuse(out, EdgeTextProblem::not_number, field);
        p_ = last;
        return true;
    }

    bool in_range(Piece& out, std::int64_t value, const char* field) {
        if (value >= 0 && value < kEdgeTextIdLimit) return true;
        refuse(out, value < 0 ? EdgeTextProblem::negative_id : EdgeTextProblem::id_beyond_32_bits,
               field);
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
        out.src[out.edges] = static_cast<std::int32_t>(ids[0]);
        out.dst[out.edges] = static_cast<std::int32_t>(ids[1]);
        if (weighted_) out.weights[out.edges] = w;
        ++out.edges;
        return true;
    }

    const Table& table_;
    const char* const begin_;
    const char* p_;
    const char* const end_;
    const std::int64_t origin_;
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
void append(std::vector<T>& whole, std::int64_t at, const std::unique_ptr<T[]>& piece,
            std::int64_t count) {
    if (count > 0)
        std::memcpy(whole.data() + at, piece.get(), static_cast<std::size_t>(count) * sizeof(T));
}

}  // namespace

int edge_text_pieces(std::int64_t size, int workers, const EdgeTextFormat& format) {
    if (workers <= 1) return 1;
    const std::int64_t worth = size / std::max<std::int64_t>(format.piece_bytes, 1);
    return static_cast<int>(std::clamp<std::int64_t>(worth, 1, std::int64_t{4} * workers));
}

EdgeBlock parse_edge_text(const char* text, std::int64_t size, const EdgeTextFormat& format,
                          Team& team) {
    const Table table = make_table(format);
    // A last line without line end is parsed from a copy that has one, so that every piece ends
    // with a line end.
    std::int64_t ended = size;
    while (ended > 0 && text[ended - 1] != '\n' && text[ended - 1] != '\r') --ended;
    const std::string tail =
        ended < size ? std::string(text + ended, text + size) + '\n' : std::string();

    const int pieces = edge_text_pieces(ended, team.size(), format);
    std::vector<std::int64_t> cut(static_cast<std::size_t>(pieces) + 1, ended);
    cut[0] = 0;
    for (int i = 1; i < pieces; ++i)
        cut[i] = std::max(cut[i - 1], next_line(text, ended, ended / pieces * i));
    std::vector<Piece> parsed(static_cast<std::size_t>(pieces) + 1);
    team.run(pieces, [&](int i, int) {
        Parser(table, text + cut[i], text + cut[i + 1], cut[i], format.weighted).run(parsed[i]);
    });
    Parser(table, tail.data(), tail.data() + tail.size(), ended, format.weighted)
        .run(parsed[pieces]);

    EdgeBlock block;
    std::vector<std::int64_t> first(parsed.size() + 1, 0);
    for (std::size_t i = 0; i < parsed.size(); ++i) {
        if (parsed[i].error.problem != EdgeTextProblem::none) {
            block.error = parsed[i].error;
            block.error.line += block.lines;
            return block;
        }
        block.lines += parsed[i].lines;
        first[i + 1] = first[i] + parsed[i].edges;
    }
    const auto edges = static_cast<std::size_t>(first.back());
    block.src.resize(edges);
    block.dst.resize(edges);
    if (format.weighted) block.weights.resize(edges);
    team.run(static_cast<int>(parsed.size()), [&](int i, int) {
        append(block.src, first[i], parsed[i].src, parsed[i].edges);
        append(block.dst, first[i], parsed[i].dst, parsed[i].edges);
        if (format.weighted) append(block.weights, first[i], parsed[i].weights, parsed[i].edges);
        parsed[i] = Piece();
    });
    return block;
}

}  // namespace veltrix
