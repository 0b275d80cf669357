#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace vantrel::testing {

inline std::string fixture(const std::string& name)
{
    return std::string(VANTREL_TEST_DATA) + "/" + name;
}

inline std::string example(const std::string& name)
{
    return std::string(VANTREL_EXAMPLES) + "/" + name;
}

inline std::string read_text(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void write_text(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

// Lines of a file without their LF (a trailing empty piece is dropped).
inline std::vector<std::string> read_lines(const std::string& path)
{
    std::vector<std::string> lines;
    std::istringstream in(read_text(path));
    std::string line;
    while (std::getline(in, line))
        lines.push_back(line);
    return lines;
}

// Runs `op` and returns the message of the error it raises ("" when none).
template <typename Op>
std::string error_of(Op op)
{
    try {
        op();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "";
}

// Parameterised test names hold '/', which a directory name cannot.
inline std::string sanitized(std::string name)
{
    for (char& ch : name)
        if (ch == '/')
            ch = '_';
    return name;
}

// A fresh directory per test, removed afterwards.
class temp_dir_test : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = std::filesystem::temp_directory_path() /
               ("vantrel-" + sanitized(std::string(info->test_suite_name()) + "-" + info->name()));
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::string path(const std::string& name) const { return (dir_ / name).string(); }

private:
    std::filesystem::path dir_;
};

} // namespace vantrel::testing
