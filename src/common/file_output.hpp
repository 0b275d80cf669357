#pragma once

#include <fstream>
#include <ostream>
#include <string>
#include <string_view>

// Files the program writes: a failure to create one and a failure to write
// one (a full disk, a file gone from under the program) are both reported,
// never passed over as if the data had been saved.
namespace vantrel::file_output {

// What the data file writers say when the file cannot be created.
inline constexpr std::string_view open_failed =
    "Unable to open file for saving.  Is this file opened in another program?";

// Creates (or empties) `path` for binary writing; fails with `open_message`.
std::ofstream open(const std::string& path, std::string_view open_message = open_failed);

// Raises "Unable to write to <path>.".
[[noreturn]] void write_failed(const std::string& path);

// Fails with "Unable to write to <path>." once a write to `out` has failed.
void check_written(const std::ostream& out, const std::string& path);

// Flushes and closes `out`, checking after each: a full disk often shows
// only when the last buffered bytes go out.
void finish(std::ofstream& out, const std::string& path);

// A whole file in one go: open, write, flush, close, each checked.
void write_file(const std::string& path, std::string_view content,
                std::string_view open_message = open_failed);

} // namespace vantrel::file_output
