#include "instrument/parent_reader.hpp"

#include "common/error.hpp"
#include "common/file_output.hpp"
#include "common/line_reader.hpp"
#include "common/text_numbers.hpp"
#include "instrument/eqa_reader.hpp"
#include "instrument/ixo_reader.hpp"

#include <algorithm>
#include <fstream>
#include <string_view>

namespace vantrel {

parent_reader::parent_reader()
    : device(std::make_unique<devfile>()), helper(std::make_unique<ACR_Helper>()),
      trace(std::make_shared<diagnostic_sink>())
{
}

parent_reader::~parent_reader() = default;

// The base operations do nothing; the meter models' readers give them life.
void parent_reader::open_device_file(const std::string& /*path*/) {}
void parent_reader::save_raw(const std::string& /*path*/) {}
void parent_reader::set_port(std::int32_t /*port_number*/) {}
void parent_reader::start() {}
void parent_reader::poll() {}
void parent_reader::stop() {}
void parent_reader::feed(const std::uint8_t* /*bytes*/, std::size_t /*count*/) {}

void parent_reader::set_port_name(const std::string& name)
{
    port_name = name;
}

void parent_reader::write_buffer(const std::string& path) const
{
    const std::string_view bytes(reinterpret_cast<const char*>(buffer.data()), buffer.size());
    file_output::write_file(path, bytes, "Unable to open file for saving.");
}

void parent_reader::open_port()
{
    if (!make_port)
        throw error(port_name.empty() ? "Could Not Open COM" + std::to_string(port_number)
                                      : "Could Not Open " + port_name);
    port = make_port();
    port->baud_rate = device->baud_rate;
    if (port_name.empty())
        port->open(port_number);
    else
        port->open_named(port_name);
}

void parent_reader::read_port(std::size_t max_bytes)
{
    if (!port)
        return;
    std::vector<std::uint8_t> chunk(max_bytes);
    const std::size_t got = port->read(chunk.data(), chunk.size());
    feed(chunk.data(), got);
}

void parent_reader::append_to_buffer(const std::uint8_t* bytes, std::size_t count)
{
    // Untouched capacity costs address space only, not memory.
    if (buffer.capacity() - buffer.size() < count)
        buffer.reserve(std::max(buffer.size() + count, 4 * buffer.capacity()));
    buffer.insert(buffer.end(), bytes, bytes + count);
}

double parent_reader::elapsed_time(std::uint32_t meter_time)
{
    if (records.empty()) {
        first_time_stamp = meter_time;
        return 0.0;
    }
    return static_cast<double>(static_cast<std::uint32_t>(meter_time - first_time_stamp));
}

std::int32_t DetectModel(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return 0;
    line_reader in(file);
    const std::string_view first = in.next_or_empty();
    if (text::starts_with_nocase(first, "IXO"))
        return model_ixo;
    if (text::starts_with_nocase(first, "EQA"))
        return model_eqa;
    return 0;
}

std::unique_ptr<parent_reader> reader_for_device_file(const std::string& path)
{
    switch (DetectModel(path)) {
    case model_ixo:
        return std::make_unique<ixo_reader>();
    case model_eqa:
        return std::make_unique<eqa_reader>();
    default:
        return nullptr;
    }
}

} // namespace vantrel
