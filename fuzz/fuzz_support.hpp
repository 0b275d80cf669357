#pragma once

// Shared pieces of the fuzz targets. Each target drives the real code with
// the fuzzer's bytes: a vantrel::error is the expected answer to bad input;
// anything else (a crash, a sanitizer report, another exception, a broken
// invariant) is a finding and aborts.

#include "common/error.hpp"
#include "dataset/ixo_data.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

#ifndef VANTREL_ROOT
#error "VANTREL_ROOT must name the source tree"
#endif

namespace vantrel::fuzz {

inline std::string source_file(const std::string& relative)
{
    return std::string(VANTREL_ROOT) + "/" + relative;
}

// Stops the run on a broken invariant, naming it.
inline void require(bool holds, const char* what)
{
    if (holds)
        return;
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

// Runs `op`; an error with a message is the answer to bad input, so it ends
// the run quietly. Returns whether `op` got through.
template <typename Op> bool accepted(Op op)
{
    try {
        op();
        return true;
    } catch (const vantrel::error& e) {
        require(e.what() != nullptr && *e.what() != '\0', "an error carries a message");
        return false;
    }
}

// The loaders read files: the input goes to a file of this process's own
// (in memory where /dev/shm exists), rewritten for every input.
class input_file {
public:
    explicit input_file(const char* target)
    {
        const char* dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        path_ = std::string(dir) + "/vantrel-fuzz-" + target + "-" + std::to_string(getpid());
    }
    ~input_file() { std::remove(path_.c_str()); }
    input_file(const input_file&) = delete;
    input_file& operator=(const input_file&) = delete;

    const std::string& write(const std::uint8_t* data, std::size_t size)
    {
        std::ofstream out(path_, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        out.close();
        require(static_cast<bool>(out), "the fuzz input file is written");
        return path_;
    }

private:
    std::string path_;
};

// Reads the leading bytes of the input as parameters, then hands out the rest.
class input_bytes {
public:
    input_bytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint8_t take_byte()
    {
        if (size_ == 0)
            return 0;
        --size_;
        return *data_++;
    }
    const std::uint8_t* rest() const { return data_; }
    std::size_t rest_size() const { return size_; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
};

// Chunk sizes from three bytes of the input, used in turn: small pieces
// (1 to 200 bytes) and whole blocks (64 to 3584 bytes), as reads from a port
// and blocks of a capture come.
class chunk_plan {
public:
    explicit chunk_plan(input_bytes& in)
    {
        for (auto& size : sizes_) {
            const std::uint8_t b = in.take_byte();
            size = b < 200 ? std::size_t{b} + 1 : std::size_t{b - 199U} * 64;
        }
    }
    std::size_t next() { return sizes_[turn_++ % sizes_.size()]; }

private:
    std::array<std::size_t, 3> sizes_{};
    std::size_t turn_ = 0;
};

inline bool all_finite(const std::vector<double>& values)
{
    for (const double v : values)
        if (!std::isfinite(v))
            return false;
    return true;
}

// What later code relies on in a data set: one a value per a wavelength and
// one c value per c wavelength in every record, and a row of each auxiliary
// table per record.
inline void check_data_set(const IXO_Data& ds)
{
    for (const ixo_data& r : ds.records) {
        require(r.a.size() == ds.a_wavelengths.size(), "every record has an a value per a wavelength");
        require(r.c.size() == ds.c_wavelengths.size(), "every record has a c value per c wavelength");
    }
    require(ds.aux_onboard.rows.size() == ds.records.size(), "aux_onboard has a row per record");
    require(ds.aux_merged.rows.size() == ds.records.size(), "aux_merged has a row per record");
    require(ds.a_coefs.size() == ds.a_wavelengths.size(), "a coefficient row per a wavelength");
    require(ds.c_coefs.size() == ds.c_wavelengths.size(), "a coefficient row per c wavelength");
}

// Corrects the first records with the corrections a user can switch on; a
// correction may refuse with an error, never break.
inline void exercise_corrections(IXO_Data& ds, int temp_source, int saln_source)
{
    ds.const_temp = 15.0;
    ds.const_saln = 33.0;
    ds.temp_source = temp_source;
    ds.saln_source = saln_source;
    ds.apply_temp = true;
    ds.apply_saln = true;
    accepted([&] { ds.set_scat_ref(715.0); });
    ds.apply_scat = ds.scat_ref_a_index != no_scat_ref;
    const std::size_t count = std::min<std::size_t>(ds.records.size(), 64);
    for (int method = 1; method <= 3; ++method) {
        ds.scat_method = method;
        for (std::size_t i = 0; i < count; ++i) {
            accepted([&] {
                const ixo_data r = ds.correct_one_line(static_cast<std::int32_t>(i));
                require(r.a.size() == ds.a_wavelengths.size(), "a corrected record keeps its a count");
                require(r.c.size() == ds.c_wavelengths.size(), "a corrected record keeps its c count");
            });
        }
    }
}

} // namespace vantrel::fuzz
