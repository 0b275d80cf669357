#include "common/line_reader.hpp"

#include <cstring>

namespace vantrel {

namespace {
constexpr std::size_t chunk_size = 1 << 18;
}

line_reader::line_reader(std::istream& in) : in_(in) {}

// Moves the unread tail to the front and appends one chunk from the stream.
bool line_reader::fill()
{
    if (eof_)
        return false;
    if (begin_ > 0) {
        std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
    }
    if (buffer_.size() < end_ + chunk_size)
        buffer_.resize(end_ + chunk_size);
    in_.read(buffer_.data() + end_, static_cast<std::streamsize>(chunk_size));
    const auto got = static_cast<std::size_t>(in_.gcount());
    end_ += got;
    if (got < chunk_size)
        eof_ = true;
    return got > 0;
}

bool line_reader::next(std::string_view& line)
{
    std::size_t scanned = begin_;
    for (;;) {
        const void* hit = std::memchr(buffer_.data() + scanned, '\n', end_ - scanned);
        if (hit != nullptr) {
            const auto nl = static_cast<std::size_t>(static_cast<const char*>(hit) - buffer_.data());
            std::size_t stop = nl;
            if (stop > begin_ && buffer_[stop - 1] == '\r')
                --stop;
            line = std::string_view(buffer_.data() + begin_, stop - begin_);
            begin_ = nl + 1;
            return true;
        }
        const std::size_t offset = end_ - begin_;
        if (!fill()) {
            if (begin_ == end_)
                return false;
            std::size_t stop = end_;
            if (buffer_[stop - 1] == '\r')
                --stop;
            line = std::string_view(buffer_.data() + begin_, stop - begin_);
            begin_ = end_;
            return true;
        }
        scanned = begin_ + offset;
    }
}

std::string_view line_reader::next_or_empty()
{
    std::string_view line;
    if (!next(line))
        return {};
    return line;
}

} // namespace vantrel
