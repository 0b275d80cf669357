#pragma once

#include "dataset/ixo_data.hpp"

#include <cstdint>
#include <string>
#include <vector>

namespace vantrel {

// The text of a new device file made from the data set's header lines, each
// channel's offsets replaced by the stored offset minus the channel's value
// in `mean`, so the meter reads that water as zero. Fails with "This data
// set holds no device file channel lines." when the header lines lack the
// device file's channel lines (a data set loaded from a data file that
// lists only wavelengths), and with "Unable to determine file type!  This
// should not happen." for a data set of neither meter.
std::string rewritten_devfile(const IXO_Data& ds, const ixo_data& mean);

// Writes the device file for the mean of the corrected records `indices`.
// Nothing is created when the header lines cannot make a device file; a
// data set of neither meter leaves the created file empty.
void save_devfile(const IXO_Data& ds, const std::vector<std::int32_t>& indices, const std::string& path);

} // namespace vantrel
