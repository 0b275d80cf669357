#include "common/text_numbers.hpp"
#include "instrument/devfile.hpp"
#include "plots/devfile_rewrite.hpp"
#include "plots/selected_picks.hpp"
#include "plots_support.hpp"

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>

namespace vantrel {
namespace {

using testing::error_of;
using testing::example;
using testing::fixture;
using testing::read_lines;

class DevfileRewrite : public testing::temp_dir_test {};

// Offsets are written with 6 significant digits.
void expect_offsets(const std::vector<double>& written, const std::vector<double>& stored,
                    const std::vector<double>& mean)
{
    ASSERT_EQ(written.size(), stored.size());
    for (std::size_t j = 0; j < written.size(); ++j)
        EXPECT_NEAR(written[j], stored[j] - mean[j], 1e-5 * std::fabs(stored[j] - mean[j]) + 1e-9) << j;
}

TEST_F(DevfileRewrite, HyperspectralAcquisitionGivesADeviceFileThatLoadsWithNewOffsets)
{
    auto ds = testing::replayed("ixo_86_capture.bin", "ixo_86.dev");
    const std::vector<std::int32_t> chosen{0, 1, 2, 3};
    save_devfile(*ds, chosen, path("new.dev"));

    devfile stored;
    stored.load(example("ixo_86.dev"));
    devfile written;
    written.load(path("new.dev"));

    const auto lines = read_lines(path("new.dev"));
    const auto original = read_lines(example("ixo_86.dev"));
    // 10 fixed lines, 86 channel lines and both trailing lines.
    ASSERT_EQ(lines.size(), 10U + 86U + 2U);
    for (std::size_t i = 0; i < 10; ++i)
        EXPECT_EQ(lines[i], original[i]) << i;
    EXPECT_EQ(lines[96], original[96]);
    EXPECT_EQ(lines[97], original[97]);

    const ixo_data mean = mean_corrected(*ds, chosen);
    expect_offsets(written.a_offsets, stored.a_offsets, mean.a);
    expect_offsets(written.c_offsets, stored.c_offsets, mean.c);
    EXPECT_EQ(written.serial_number, stored.serial_number);
    EXPECT_EQ(written.a_wavelengths, stored.a_wavelengths);
    EXPECT_EQ(written.c_wavelengths, stored.c_wavelengths);
    EXPECT_EQ(written.temp_bins, stored.temp_bins);
    EXPECT_EQ(written.temp_adjustments_a, stored.temp_adjustments_a);
    EXPECT_EQ(written.temp_adjustments_c, stored.temp_adjustments_c);
}

TEST_F(DevfileRewrite, NineWavelengthAcquisitionKeepsTheChannelLinesInDeviceFileOrder)
{
    auto ds = testing::replayed("eqa_9_capture.bin", "eqa_9.dev");
    const std::vector<std::int32_t> chosen{1, 2};
    save_devfile(*ds, chosen, path("new.dev"));

    devfile stored;
    stored.load(example("eqa_9.dev"));
    devfile written;
    written.load(path("new.dev"));

    const auto lines = read_lines(path("new.dev"));
    const auto original = read_lines(example("eqa_9.dev"));
    ASSERT_EQ(lines.size(), 9U + 18U + 2U);
    for (std::size_t i = 0; i < 9; ++i)
        EXPECT_EQ(lines[i], original[i]) << i;
    for (std::size_t i = 27; i < 29; ++i)
        EXPECT_EQ(lines[i], original[i]) << i;
    // Each line keeps its channel: same letter (case aside) and wavelength.
    for (std::size_t i = 9; i < 27; ++i) {
        EXPECT_EQ(std::tolower(lines[i][0]), original[i][0]) << i;
        EXPECT_EQ(text::leading_double(std::string_view(lines[i]).substr(1)),
                  text::leading_double(std::string_view(original[i]).substr(1)))
            << i;
    }

    const ixo_data mean = mean_corrected(*ds, chosen);
    EXPECT_EQ(written.channel_is_a, stored.channel_is_a);
    EXPECT_EQ(written.a_order, stored.a_order);
    expect_offsets(written.a_offsets, stored.a_offsets, mean.a);
    expect_offsets(written.c_offsets, stored.c_offsets, mean.c);
    EXPECT_EQ(written.temp_adjustments_a, stored.temp_adjustments_a);
    EXPECT_EQ(written.temp_adjustments_c, stored.temp_adjustments_c);
}

TEST_F(DevfileRewrite, HyperspectralDataFileWithChannelLinesWritesTheLinesField)
{
    auto ds = testing::load_data(testing::write_ixo_file(path("cast.dat"), 5));
    ASSERT_DOUBLE_EQ(ds->correct_one_line(0).a[0], 0.02);
    save_devfile(*ds, {0}, path("cast.dev"));

    const auto lines = read_lines(path("cast.dev"));
    const auto data_lines = read_lines(path("cast.dat"));
    ASSERT_EQ(lines.size(), 10U + 4U + 2U);
    for (std::size_t i = 0; i < 10; ++i)
        EXPECT_EQ(lines[i], data_lines[i + 1]) << i;
    // The a offset 0.5 less the mean a 0.02; the c offset 0.7 less 0.5.
    EXPECT_EQ(lines[10], "C412.1\tA413\t16\t0.2\t0.48\t\t-0.001\t0.001\t-0.002\t0.002");
    EXPECT_EQ(lines[13], "C715.3\tA714.8\t16\t2.9\t3.45\t\t-0.001\t0.001\t-0.002\t0.002");
    EXPECT_EQ(lines[14], "0\t; end of wavelength list");
    // The data file kept only one trailing line; the second is left empty.
    EXPECT_EQ(lines[15], "");

    devfile written;
    written.load(path("cast.dev"));
    EXPECT_EQ(written.a_offsets.size(), 4U);
    EXPECT_DOUBLE_EQ(written.a_offsets[0], 0.48);
}

TEST_F(DevfileRewrite, FailsWithoutChannelLinesOrForOtherModels)
{
    struct failure_case {
        const char* data_file;
        const char* message;
        bool file_created;
    };
    const std::vector<failure_case> cases{
        // A nine-wavelength data file keeps none of the device file's channel lines.
        {"eqa_small.dat", "This data set holds no device file channel lines.", false},
        // A hyperspectral file whose block lists only wavelengths has no offsets to rewrite.
        {"ixo_small.dat", "This data set holds no device file channel lines.", false},
        {"processed_variant.dat", "Unable to determine file type!  This should not happen.", true},
    };
    for (const auto& c : cases) {
        auto ds = testing::load_data(fixture(c.data_file));
        const std::string out = path(std::string(c.data_file) + ".dev");
        EXPECT_EQ(error_of([&] { save_devfile(*ds, {0}, out); }), c.message) << c.data_file;
        EXPECT_EQ(std::filesystem::exists(out), c.file_created) << c.data_file;
        if (c.file_created) {
            EXPECT_EQ(std::filesystem::file_size(out), 0U);
        }
    }

    auto ds = testing::replayed("ixo_86_capture.bin", "ixo_86.dev");
    EXPECT_EQ(error_of([&] { save_devfile(*ds, {0}, path("no/such/dir/x.dev")); }),
              "Unable to open file for saving.  Is this file opened in another program?");
}

} // namespace
} // namespace vantrel
