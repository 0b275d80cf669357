#pragma once

#include "dataset/ixo_data.hpp"

#include <cstdint>
#include <vector>

namespace vantrel {

// Prepares a water calibration from chosen records: switches the
// temperature, salinity and scattering corrections off (a blank already
// applied stays applied), takes `box_temperature` as the constant
// temperature and returns the mean of the corrected records. The indices
// are used in ascending order without duplicates.
ixo_data make_water_cal(IXO_Data& ds, std::vector<std::int32_t>& indices, double box_temperature);

} // namespace vantrel
