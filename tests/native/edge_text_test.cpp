// The edge text parser reads nothing outside its block: every prefix of some awkward texts is
// parsed from a heap copy of exactly its length (so AddressSanitizer sees any stray read), in
// one-byte pieces and whole, and both must agree on the edges, the line count and the refusal.

#include <cstdint>
#include <string>
#include <vector>

#include "check.hpp"
#include "graph/edge_text.hpp"

namespace {

using namespace veltrix;

EdgeBlock parse(const std::string& text, const EdgeTextFormat& format, int workers) {
    const std::vector<char> exact(text.begin(), text.end());
    Team team(workers);
    return parse_edge_text(exact.data(), static_cast<std::int64_t>(exact.size()), format, team);
}

void prefixes_agree(const std::string& text, EdgeTextFormat format) {
    for (std::size_t length = 0; length <= text.size(); ++length) {
        const std::string prefix = text.substr(0, length);
        check::context() = "prefix \"" + prefix + "\"";
        format.piece_bytes = 1 << 20;
        const EdgeBlock whole = parse(prefix, format, 1);
        format.piece_bytes = 1;
        const EdgeBlock pieces = parse(prefix, format, 3);
        CHECK(whole.src == pieces.src && whole.dst == pieces.dst &&
              whole.weights == pieces.weights);
        CHECK(whole.error.problem == pieces.error.problem);
        if (whole.error.problem == EdgeTextProblem::none) {
            CHECK_EQ(whole.lines, pieces.lines);
        } else {
            CHECK_EQ(whole.error.line, pieces.error.line);
            CHECK_EQ(whole.error.field_end, pieces.error.field_end);
            CHECK(whole.error.line_end <= static_cast<std::int64_t>(length));
        }
    }
}

}  // namespace

int main() {
    EdgeTextFormat spaces;
    spaces.comments = "#";
    prefixes_agree("# c\n0 1\r\n\r2\t3 x\n 4 5 #\r\n06 7", spaces);
    prefixes_agree("0 1\n2 -3\n4 99999999999999999999\n5 x", spaces);
    EdgeTextFormat weighted = spaces;
    weighted.weighted = true;
    prefixes_agree("0 1 2.5\r1 2 1e400\n2 3 +.5 # w\n3 4 infinity(1)\n5 6 1e-400", weighted);
    EdgeTextFormat csv;
    csv.delimiter = ',';
    prefixes_agree("0,1\n  \n2 , 3,z\n4,,5\n6,7", csv);

    const EdgeBlock last = parse("0 1\n2 3", spaces, 1);
    CHECK(last.src == (std::vector<std::int32_t>{0, 2}) &&
          last.dst == (std::vector<std::int32_t>{1, 3}));
    const EdgeBlock bad = parse("0 1\n\n2 x", spaces, 1);
    CHECK(bad.error.problem == EdgeTextProblem::not_integer);
    CHECK_EQ(bad.error.line, 3);
    CHECK_EQ(bad.error.field_begin, 7);
    CHECK_EQ(bad.error.line_end, 8);
    return check::report();
}
