#include "app/capture_replay.hpp"

#include "common/error.hpp"

#include <filesystem>
#include <fstream>
#include <limits>

namespace vantrel {

void take_device_layout(IXO_Data& ds, const devfile& device)
{
    ds.a_wavelengths.assign(device.a_wavelengths.begin(), device.a_wavelengths.end());
    ds.c_wavelengths.assign(device.c_wavelengths.begin(), device.c_wavelengths.end());
    ds.wavelength_count = static_cast<std::int32_t>(ds.a_wavelengths.size());
    ds.header_lines.assign(device.header_lines.begin(), device.header_lines.end());
    ds.serial_number = device.serial_number;
    ds.factory_cal_temp = device.fac_cal_temp;
    if (device.model == devfile::meter_model::eqa) {
        ds.a_column_order.assign(device.a_order.begin(), device.a_order.end());
        ds.c_column_order.assign(device.c_order.begin(), device.c_order.end());
        ds.column_is_a.assign(device.channel_is_a.begin(), device.channel_is_a.end());
    } else {
        ds.a_column_order.clear();
        ds.c_column_order.clear();
        ds.column_is_a.clear();
    }
}

namespace {

// A damaged record header makes the Eqa decoder raise an error out of feed;
// the bytes after it still hold good records, so decoding goes on (with no
// new bytes) until the block is worked through, as live acquisition does.
void feed_past_damage(parent_reader& reader, const std::uint8_t* bytes, std::size_t count)
{
    try {
        reader.feed(bytes, count);
        return;
    } catch (const std::exception&) {
    }
    // Every failed step consumes bytes, so the buffer's size bounds the retries.
    for (std::size_t tries = reader.buffer.size(); tries > 0; --tries) {
        try {
            reader.feed(bytes, 0);
            return;
        } catch (const std::exception&) {
        }
    }
}

} // namespace

void feed_capture(parent_reader& reader, const std::string& capture_path)
{
    std::ifstream file(capture_path, std::ios::binary);
    if (!file)
        return;
    // The whole capture ends up in the reader's buffer: sized once, it is
    // never copied on the way.
    std::error_code size_error;
    const auto size = std::filesystem::file_size(capture_path, size_error);
    if (!size_error && size <= reader.buffer.max_size() - reader.buffer.size())
        reader.buffer.reserve(reader.buffer.size() + static_cast<std::size_t>(size));
    std::vector<std::uint8_t> block(replay_block_size);
    for (;;) {
        file.read(reinterpret_cast<char*>(block.data()), static_cast<std::streamsize>(block.size()));
        const auto got = static_cast<std::size_t>(file.gcount());
        feed_past_damage(reader, block.data(), got);
        if (got < block.size())
            break;
    }
}

void replay_capture(IXO_Data& ds, std::unique_ptr<parent_reader>& reader, const std::string& capture_path,
                    const std::string& device_path, std::shared_ptr<diagnostic_sink> trace)
{
    const std::int32_t model = DetectModel(device_path);
    if (model != model_ixo && model != model_eqa)
        throw error("Invalid device file");
    reader = reader_for_device_file(device_path);
    if (trace)
        reader->trace = std::move(trace);
    ds.model = model;
    reader->open_device_file(device_path);

    const devfile& device = *reader->device;
    ds.a_wavelengths.assign(device.a_wavelengths.begin(), device.a_wavelengths.end());
    ds.c_wavelengths.assign(device.c_wavelengths.begin(), device.c_wavelengths.end());

    feed_capture(*reader, capture_path);
    if (reader->records.empty())
        throw error("Unable to read binary file.  Do you have the right devfile specified?");

    ds.records.clear();
    ds.temp_source = 1;
    ds.saln_source = 1;
    ds.records.assign(reader->records.begin(), reader->records.end());
    // A capture carries no temperature or pressure per record.
    const ctd_struct unknown{0.0, std::numeric_limits<double>::quiet_NaN(), 0.0,
                             std::numeric_limits<double>::quiet_NaN()};
    ds.aux_onboard.rows.assign(ds.records.size(), unknown);
    ds.aux_merged.rows.assign(ds.records.size(), unknown);
    take_device_layout(ds, device);
    ds.prepare_coefficients();
    ds.set_scat_ref(715.0);
    ds.apply_water = ds.apply_temp = ds.apply_saln = ds.apply_scat = false;
    ds.ctd_merged = false;
}

} // namespace vantrel
