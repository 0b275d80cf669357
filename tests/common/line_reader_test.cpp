#include "common/line_reader.hpp"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

using vantrel::line_reader;

constexpr std::size_t chunk = 256 * 1024; // the reader's read size

std::vector<std::string> read_all(const std::string& bytes)
{
    std::istringstream in(bytes);
    line_reader reader(in);
    std::vector<std::string> lines;
    std::string_view line;
    while (reader.next(line))
        lines.emplace_back(line);
    EXPECT_TRUE(reader.at_end());
    return lines;
}

// A line whose every position is told apart from its neighbours, so that a
// piece lost or repeated at a chunk boundary shows.
std::string patterned(std::size_t length, std::size_t seed)
{
    std::string s(length, ' ');
    for (std::size_t i = 0; i < length; ++i)
        s[i] = static_cast<char>('!' + (i * 7 + seed) % 90);
    return s;
}

TEST(line_reader, splits_at_lf_and_cr_lf)
{
    const struct {
        std::string bytes;
        std::vector<std::string> lines;
    } cases[] = {
        {"a\nbb\n\nccc\n", {"a", "bb", "", "ccc"}},
        {"a\r\nbb\r\n\r\nccc\r\n", {"a", "bb", "", "ccc"}},
        {"mixed\r\nends\nhere\r\n", {"mixed", "ends", "here"}},
        {"x\ny", {"x", "y"}},
        {"only", {"only"}},
        {"tab\tkept \r\n", {"tab\tkept "}},
        {"\n", {""}},
        {"", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(read_all(c.bytes), c.lines) << testing::PrintToString(c.bytes);
}

TEST(line_reader, lines_around_and_beyond_a_chunk_come_back_whole)
{
    // Lengths that put the line end just before, on and after each chunk
    // boundary, including a CR LF pair split across one.
    const std::size_t lengths[] = {chunk - 2, chunk - 1, chunk, chunk + 1, 3 * chunk + 7};
    for (const std::size_t length : lengths)
        for (const char* end : {"\n", "\r\n"}) {
            SCOPED_TRACE(testing::Message() << length << (end[0] == '\r' ? " CR LF" : " LF"));
            const std::string first = patterned(length, 1);
            const std::string second = patterned(length / 3 + 5, 2);
            const std::string tail = patterned(11, 3);
            const auto lines = read_all(first + end + second + end + tail);
            ASSERT_EQ(lines.size(), 3u);
            EXPECT_TRUE(lines[0] == first);
            EXPECT_TRUE(lines[1] == second);
            EXPECT_EQ(lines[2], tail);
        }
}

TEST(line_reader, a_stream_of_exactly_one_chunk_ends_cleanly)
{
    const std::string body = patterned(chunk - 1, 4);
    EXPECT_EQ(read_all(body + "\n"), std::vector<std::string>{body});
    const std::string whole = patterned(chunk, 5);
    EXPECT_EQ(read_all(whole), std::vector<std::string>{whole});
}

TEST(line_reader, many_short_lines_survive_the_chunk_refills)
{
    std::string bytes;
    std::vector<std::string> want;
    for (int i = 0; i < 60000; ++i) {
        want.push_back("row " + std::to_string(i) + "\t" + std::to_string(i * 31 % 977));
        bytes += want.back();
        bytes += i % 3 == 0 ? "\r\n" : "\n";
    }
    ASSERT_GT(bytes.size(), 2 * chunk);
    const auto got = read_all(bytes);
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i)
        ASSERT_EQ(got[i], want[i]) << "line " << i;
}

TEST(line_reader, next_or_empty_gives_empty_lines_past_the_end)
{
    std::istringstream in("head\r\n\nlast");
    line_reader reader(in);
    EXPECT_EQ(reader.next_or_empty(), "head");
    EXPECT_EQ(reader.next_or_empty(), "");
    EXPECT_FALSE(reader.at_end());
    EXPECT_EQ(reader.next_or_empty(), "last");
    EXPECT_TRUE(reader.at_end());
    EXPECT_EQ(reader.next_or_empty(), "");
    EXPECT_EQ(reader.next_or_empty(), "");
    std::string_view line = "unchanged";
    EXPECT_FALSE(reader.next(line));
}

} // namespace
