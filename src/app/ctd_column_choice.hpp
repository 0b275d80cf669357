#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vantrel {

// The four CTD column numbers kept in the settings (1-based).
struct ctd_columns {
    std::int32_t time = 1;
    std::int32_t pres = 2;
    std::int32_t temp = 3;
    std::int32_t saln = 5;
};

// What the "Choose CTD columns" dialog decides, without its window: a
// preview of the file's first lines and the check of the four columns.
class ctd_column_choice {
public:
    static constexpr std::size_t preview_limit = 100;

    // Reads the first lines of the CTD file; fails with "Unable to open file.".
    void load_preview(const std::string& path);
    const std::vector<std::string>& preview() const { return preview_; }

    // Fields of the preview's second-to-last line (its only line, if just one),
    // split as the CTD reader splits a data line.
    std::size_t field_count() const;

    // Checks the four edit texts (read as their leading integer, 0 for none).
    // Returns "" and stores the columns in `settings` when all are valid, or
    // the message naming the last invalid column (in the order temperature,
    // pressure, salinity, time) and leaves `settings` as it was.
    std::string accept(const std::string& time_text, const std::string& pres_text, const std::string& temp_text,
                       const std::string& saln_text, ctd_columns& settings) const;

private:
    std::vector<std::string> preview_;
};

} // namespace vantrel
