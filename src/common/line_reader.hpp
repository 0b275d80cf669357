#pragma once

#include <istream>
#include <string>
#include <string_view>

namespace vantrel {

// Reads a byte stream line by line, LF or CR LF, lines of any length.
// A last line without a terminator is a line like any other.
class line_reader {
public:
    explicit line_reader(std::istream& in);

    // Hands out the next line without its line end; false at the end of the
    // stream. The view stays valid until the next call.
    bool next(std::string_view& line);

    // The next line, or an empty one at the end of the stream (as a C
    // library read of a header line would leave its buffer).
    std::string_view next_or_empty();

    bool at_end() const { return eof_ && begin_ == end_; }

private:
    bool fill();

    std::istream& in_;
    std::string buffer_;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    bool eof_ = false;
};

} // namespace vantrel
