#include "common/file_output.hpp"

#include "common/error.hpp"

namespace vantrel::file_output {

std::ofstream open(const std::string& path, std::string_view open_message)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out)
        throw error(std::string(open_message));
    return out;
}

void write_failed(const std::string& path)
{
    throw error("Unable to write to " + path + ".");
}

void check_written(const std::ostream& out, const std::string& path)
{
    if (!out)
        write_failed(path);
}

void finish(std::ofstream& out, const std::string& path)
{
    out.flush();
    check_written(out, path);
    out.close();
    check_written(out, path);
}

void write_file(const std::string& path, std::string_view content, std::string_view open_message)
{
    std::ofstream out = open(path, open_message);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    check_written(out, path);
    finish(out, path);
}

} // namespace vantrel::file_output
