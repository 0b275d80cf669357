#pragma once

// Shared by the plot tests: the offscreen application, prompts answered
// from a script, and data sets loaded from small generated files.

#include "dataset/ixo_data.hpp"
#include "plots/plot_prompts.hpp"
#include "test_support.hpp"

#include <algorithm>
#include <cmath>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace vantrel::testing {

// Answers the frames' questions from queues and records what was asked.
class scripted_prompts : public plot_prompts {
public:
    struct save_question {
        std::string title;
        std::string filter;
        std::string proposed;
    };
    struct shown_message {
        std::string text;
        std::string caption;
    };

    std::deque<std::optional<std::string>> file_answers;
    std::deque<std::optional<std::string>> water_answers;
    std::vector<save_question> save_questions;
    std::vector<shown_message> messages;
    std::vector<water_cal_preview> previews;

    std::optional<std::string> save_file_name(const std::string& title, const std::string& filter,
                                              const std::string& proposed) override
    {
        save_questions.push_back({title, filter, proposed});
        return next(file_answers);
    }
    void message(const std::string& text, const std::string& caption) override
    {
        messages.push_back({text, caption});
    }
    std::optional<std::string> make_water_cal(const water_cal_preview& preview) override
    {
        previews.push_back(preview);
        return next(water_answers);
    }

private:
    static std::optional<std::string> next(std::deque<std::optional<std::string>>& answers)
    {
        if (answers.empty())
            return std::nullopt;
        auto answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

// The wavelengths of the generated hyperspectral file.
inline const std::vector<double> gen_c_wavelengths{412.1, 440.2, 550.0, 715.3};
inline const std::vector<double> gen_a_wavelengths{413.0, 441.5, 551.2, 714.8};

inline double gen_time(std::size_t i)
{
    return 1000.0 + 250.0 * static_cast<double>(i);
}
inline double gen_a(std::size_t i, std::size_t j)
{
    return 0.02 + 0.01 * static_cast<double>(j) + 0.001 * static_cast<double>(i);
}
inline double gen_c(std::size_t i, std::size_t j)
{
    return 0.5 + 0.1 * static_cast<double>(j) + 0.002 * static_cast<double>(i);
}
inline double gen_pres(std::size_t i)
{
    return 1.0 + 0.5 * static_cast<double>(i);
}

// A hyperspectral data file as this program writes it from an acquisition:
// its wavelength block holds the device file's channel lines (pass-through
// 16, c offset 0.7 + j, a offset 0.5 + j, two compensation values each).
// `nan_at` records get a NaN in a[0] and c[0].
inline std::string write_ixo_file(const std::string& path, std::size_t records,
                                  const std::vector<std::size_t>& nan_at = {})
{
    std::ostringstream out;
    out << "File created by Vantrel version 2.0\n"
        << "IXO\t; meter model (plot test)\n"
        << "0x530000D4\t; serial number\n"
        << "1\t; structure version\n"
        << "tcal:\t21.4\tC, factory calibration temperature\n"
        << "0.0\t1.0\t; depth calibration offset and slope\n"
        << "19200\t; baud rate\n"
        << "0.25\t; path length (m)\n"
        << gen_a_wavelengths.size() << "\t; output wavelengths\n"
        << "2\t; number of temperature bins\n"
        << "10.0\t20.0\t\n";
    for (std::size_t j = 0; j < gen_a_wavelengths.size(); ++j)
        out << 'C' << gen_c_wavelengths[j] << "\tA" << gen_a_wavelengths[j] << "\t16\t"
            << 0.7 + static_cast<double>(j) << '\t' << 0.5 + static_cast<double>(j)
            << "\t\t-0.001\t0.001\t-0.002\t0.002\n";
    out << "0\t; end of wavelength list\n"
        << "1\t\t\t; acquisition bin size\n"
        << "Time(ms)\tC412.1\tC440.2\tC550\tC715.3\tA413\tA441.5\tA551.2\tA714.8\tTemp\tStatus\tPres\n";
    for (std::size_t i = 0; i < records; ++i) {
        const bool nan = std::find(nan_at.begin(), nan_at.end(), i) != nan_at.end();
        out << gen_time(i);
        for (std::size_t j = 0; j < gen_c_wavelengths.size(); ++j)
            out << '\t' << (nan && j == 0 ? std::nan("") : gen_c(i, j));
        for (std::size_t j = 0; j < gen_a_wavelengths.size(); ++j)
            out << '\t' << (nan && j == 0 ? std::nan("") : gen_a(i, j));
        out << '\t' << 15.0 + 0.01 * static_cast<double>(i) << "\t0\t" << gen_pres(i) << '\n';
    }
    write_text(path, out.str());
    return path;
}

inline std::unique_ptr<IXO_Data> load_data(const std::string& path)
{
    auto ds = std::make_unique<IXO_Data>();
    ds->load_file(path, false);
    return ds;
}

// A data set replayed from an example capture: its header lines are the
// device file's, as in a live acquisition. (Defined apart from the Qt
// headers, whose keywords clash with the reader's names.)
std::unique_ptr<IXO_Data> replayed(const std::string& capture, const std::string& device);

// The pressure of CTD row i, 2 dbar plus one per row unless told otherwise.
inline double ctd_pres(std::size_t i)
{
    return 2.0 + static_cast<double>(i);
}

// A CTD file with a row at every record's time and its merge into the data set.
inline void merge_ctd(IXO_Data& ds, const std::string& path, std::size_t rows,
                      const std::function<double(std::size_t)>& pres_of = ctd_pres)
{
    std::ostringstream out;
    out << "time\tpres\ttemp\tsaln\n";
    for (std::size_t i = 0; i < rows; ++i)
        out << 1000.0 + 250.0 * static_cast<double>(i) << '\t' << pres_of(i) << '\t'
            << 12.34 + 0.1 * static_cast<double>(i) << '\t' << 31.26 + 0.01 * static_cast<double>(i) << '\n';
    write_text(path, out.str());
    ds.ctd_file_data.read_file(path, 1, 3, 4, 2);
    ds.merge_ctd();
}

} // namespace vantrel::testing
