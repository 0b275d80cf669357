#include "app/acquisition_control.hpp"

#include "app/capture_replay.hpp"
#include "common/error.hpp"
#include "common/file_output.hpp"
#include "common/local_time.hpp"
#include "common/text_numbers.hpp"
#include "instrument/eqa_reader.hpp"
#include "instrument/ixo_reader.hpp"

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace vantrel {

namespace {

constexpr long no_data_timeout = 20;
constexpr long no_serial_timeout = 30;
constexpr long disconnect_timeout = 10;

const char* const open_failure_text =
    "Unable to open file for saving.  Is this file opened in another program?";

std::string two_digits(int v)
{
    char text[16];
    std::snprintf(text, sizeof text, "%02d", v);
    return text;
}

void corrections_off(IXO_Data& ds)
{
    ds.apply_water = false;
    ds.apply_temp = false;
    ds.apply_saln = false;
    ds.apply_scat = false;
}

std::int32_t scat_method_of(std::int32_t item)
{
    switch (item) {
    case 0:
        return 2; // proportional
    case 2:
        return 3; // fixed proportion
    default:
        return 1; // baseline
    }
}

} // namespace

std::string default_acquisition_name(std::int32_t model, std::int32_t serial_number, std::time_t when)
{
    const std::tm t = local_tm(when);
    std::string name = model == model_ixo ? "ixo_" : "eqa_";
    name += std::to_string(serial_number);
    name += '_';
    name += std::to_string(t.tm_year + 1900);
    name += two_digits(t.tm_mon + 1);
    name += two_digits(t.tm_mday);
    name += two_digits(t.tm_hour);
    // Minute and second are counted from 1, as files of this meter always were.
    name += two_digits(t.tm_min + 1);
    name += two_digits(t.tm_sec + 1);
    name += ".dat";
    return name;
}

std::string file_size_text(std::uintmax_t bytes)
{
    char text[64];
    if (bytes < 1024)
        std::snprintf(text, sizeof text, "File size: %d bytes", static_cast<int>(bytes));
    else if (bytes < 1048576)
        std::snprintf(text, sizeof text, "File size: %d KB", static_cast<int>(bytes / 1024));
    else
        std::snprintf(text, sizeof text, "File size: %.1f MB", static_cast<double>(bytes) / 1048576.0);
    return text;
}

acquisition_control::acquisition_control(acquisition_ui& ui_port, reg& store, serial_factory port_factory,
                                         clock time_source)
    : DataSet(std::make_unique<IXO_Data>()), Reader(std::make_unique<parent_reader>()),
      trace(std::make_shared<diagnostic_sink>()), ui(ui_port), settings(store),
      make_port(std::move(port_factory)),
      now(time_source ? std::move(time_source) : clock([] { return std::time(nullptr); }))
{
}

bool acquisition_control::seconds_since_activity_exceed(std::time_t t, long limit) const
{
    return static_cast<long>(t - LastActivity) > limit;
}

// ---------------------------------------------------------------- start

void acquisition_control::B_StartClick()
{
    const acquisition_panel p = ui.panel();
    if (!p.page_shown)
        return;

    DataSet = std::make_unique<IXO_Data>();
    if (!start_reader(p)) {
        // The old data set is gone; the frames must not keep pointing at it.
        ui.frames_set_data_set(DataSet.get());
        return;
    }

    ui.set_caption("");
    DataSet->records.clear();
    DataSet->temp_source = 1;
    DataSet->saln_source = 1;

    settings.commport = static_cast<std::int16_t>(p.port_number);
    settings.commport_name = p.port_name;
    try {
        if (p.port_name.empty())
            Reader->set_port(p.port_number);
        else
            Reader->set_port_name(p.port_name);
        Reader->start();
    } catch (const error& e) {
        ui.frames_set_data_set(DataSet.get());
        ui.ask(e.what(), "Comm Error", false);
        return;
    }

    ui.set_poll_timer(true);
    LastActivity = now();

    // Wavelengths, header lines, channel layout and the factory calibration
    // temperature (the preview's temperature reference) of the device file.
    take_device_layout(*DataSet, *Reader->device);
    DataSet->prepare_coefficients();
    DataSet->set_scat_ref(715.0);

    DataSet->temp_source = 1;
    DataSet->saln_source = 1;
    corrections_off(*DataSet);
    DataSet->ctd_merged = false;
    DataLoaded = true;

    running = true;
    ui.set_acquiring(true);
    ui.frames_set_data_set(DataSet.get());
    ui.frames_set_live_mode(true);
    ui.set_text(acquisition_text::E_IXOFile, "(Collecting data--please don't use until finished)");
    AcqState = WaitingForData;
}

// Steps 3 to 7 of a start: the reader of the model, its device file and the
// factory calibration temperature. False when the start ends here.
bool acquisition_control::start_reader(const acquisition_panel& p)
{
    const bool eqa = DetectModel(p.device_path) == model_eqa;
    if (eqa)
        Reader = std::make_unique<eqa_reader>();
    else
        Reader = std::make_unique<ixo_reader>();
    DataSet->model = eqa ? model_eqa : model_ixo;
    ui.set_reference_spectra_enabled(eqa);
    Reader->make_port = make_port;
    packets_released = 0;
    Reader->trace = trace;
    Reader->helper = ui.make_status_helper();

    try {
        Reader->open_device_file(p.device_path);
        devfile& device = *Reader->device;
        if (device.fac_cal_temp_missing) {
            ui.set_text(acquisition_text::L_FacCalTemp, "Unable to parse Factory Temperature Calibration");
            double value = queried_fac_cal_temp;
            switch (ui.ask_factory_cal_temp(value)) {
            case fac_cal_answer::cancelled:
                B_StopClick();
                return false;
            case fac_cal_answer::accepted:
                queried_fac_cal_temp = value;
                device.fac_cal_temp = static_cast<float>(value);
                break;
            case fac_cal_answer::closed:
                break;
            }
        }
        char text[96];
        std::snprintf(text, sizeof text, "Device File Calibration Temp: %.1f",
                      static_cast<double>(device.fac_cal_temp));
        ui.set_text(acquisition_text::L_FacCalTemp, text);
    } catch (const error& e) {
        ui.frames_set_data_set(DataSet.get());
        ui.ask(e.what(), "", false);
        return false;
    }
    return true;
}

// ---------------------------------------------------------------- stop

void acquisition_control::B_StopClick()
{
    try {
        Reader->stop();
    } catch (const std::exception&) {
        // A port that will not close is no reason to lose the records.
    }
    running = false;
    ui.set_acquiring(false);
    ui.set_poll_timer(false);

    if (!SaveFileName.empty()) {
        corrections_off(*DataSet);
        DataSet->const_temp = 0.0;
        DataSet->const_saln = 0.0;
        DataSet->factory_cal_temp = 0.0;
        DataSet->water_cal_temp = 0.0;
        copy_new_records();
        // The records of the last poll reach the file before it closes.
        std::string failure;
        try {
            DataSet->continue_save();
            DataSet->end_continuous_save();
        } catch (const error& e) {
            // The stop still completes; the user learns the file is short.
            failure = e.what();
            try {
                DataSet->end_continuous_save();
            } catch (const error&) {
                // Already reported through the first failure.
            }
        }
        ui.set_text(acquisition_text::E_IXOFile, SaveFileName);
        if (!failure.empty())
            ui.ask(failure, "", false);
    } else {
        ui.set_text(acquisition_text::E_IXOFile, "(data not saved)");
    }

    AcqState = WaitingForData;
    SaveFileName.clear();
    ui.set_text(acquisition_text::L_Progress, "");
    ui.frames_set_live_mode(false);
    ui.frames_set_data_set(DataSet.get());
}

// ---------------------------------------------------------------- tick

// The data set holds the same records as the reader; only the new ones are
// copied, so a tick costs the same after eight hours as after a minute.
void acquisition_control::copy_new_records()
{
    auto& from = Reader->records;
    auto& to = DataSet->records;
    if (to.size() > from.size())
        to.clear();
    for (std::size_t i = to.size(); i < from.size(); ++i)
        to.push_back(from[i]);
}

// Only the newest packet is read during an acquisition (its external
// temperature); the raw counts of the older ones, by far the largest part of
// a packet, are let go so that a long run stays within memory. Their
// converted spectra are in the records.
void acquisition_control::release_old_packet_counts()
{
    auto& packets = Reader->packets;
    if (packets_released > packets.size())
        packets_released = 0;
    for (; packets_released + 1 < packets.size(); ++packets_released) {
        packet& p = packets[packets_released];
        for (auto* counts : {&p.c_reference, &p.a_reference, &p.c_signal, &p.a_signal})
            std::vector<double>().swap(*counts);
        std::vector<std::int32_t>().swap(p.signals);
        std::vector<std::int32_t>().swap(p.references);
    }
}

void acquisition_control::take_preview_inputs(const acquisition_panel& p)
{
    DataSet->apply_temp = p.temp;
    DataSet->apply_saln = p.saln;
    DataSet->const_temp = text::leading_double(p.temp_text);
    DataSet->const_saln = text::leading_double(p.saln_text);
    DataSet->temp_source = 1;
    DataSet->saln_source = 1;
}

void acquisition_control::Timer1Timer()
{
    try {
        Reader->poll();
    } catch (const std::exception&) {
        // A failed read is tried again at the next tick.
    }
    copy_new_records();
    release_old_packet_counts();
    take_preview_inputs(ui.panel());

    switch (AcqState) {
    case WaitingForData:
        tick_waiting();
        break;
    case Hold:
        break;
    case AskSaveFile:
        tick_ask_save_file();
        break;
    case Checking:
        tick_checking();
        break;
    case StopPending:
        B_StopClick();
        break;
    case Acquiring:
        tick_acquiring();
        break;
    default:
        LastActivity = now();
        AcqState = Acquiring;
        break;
    }
}

void acquisition_control::tick_waiting()
{
    if (!Reader->buffer.empty()) {
        AcqState = Checking;
        LastActivity = now();
        return;
    }
    ui.set_text(acquisition_text::L_Progress, "Waiting for data...");
    if (!seconds_since_activity_exceed(now(), no_data_timeout))
        return;
    AcqState = Hold;
    if (ui.ask("Device timed out.  Continue waiting?", "No data yet...", true)) {
        LastActivity = now();
        AcqState = WaitingForData;
    } else {
        B_StopClick();
    }
}

void acquisition_control::tick_ask_save_file()
{
    LastActivity = now();
    AcqState = Acquiring;
    const std::string preset = default_file_name();
    SaveFileName.clear();
    const std::optional<std::string> chosen = ui.choose_save_file(preset);
    if (chosen) {
        SaveFileName = *chosen;
        bool opened = false;
        std::string failure = open_failure_text;
        try {
            opened = DataSet->begin_continuous_save(SaveFileName);
        } catch (const error& e) {
            failure = e.what();
        }
        if (opened) {
            ui.set_caption(SaveFileName);
        } else {
            // Recording goes on in memory; the user is told, not left
            // believing the records reach a file.
            DataSet->end_continuous_save();
            SaveFileName.clear();
            ui.ask(failure, "", false);
        }
    } else {
        ui.set_text(acquisition_text::L_SizeOfFile, "");
    }
    DataSet->data_file = chosen ? *chosen : preset;
}

void acquisition_control::tick_checking()
{
    if (seconds_since_activity_exceed(now(), no_serial_timeout)) {
        AcqState = Hold;
        if (ui.ask("Unable to parse data.  This keep be one of a few things.\n\n1) Wrong baud rate\n2) Wrong "
                   "type of device (ixo and eqa use different baud rates)\n3) Device spitting out bad "
                   "data\n\nKeep trying?",
                   "Unable to parse data", true)) {
            LastActivity = now();
            AcqState = Checking;
        } else {
            // Stopped: nothing is left to check.
            B_StopClick();
            return;
        }
    }
    if (Reader->serial_number == -1)
        return;

    const devfile& device = *Reader->device;
    if (static_cast<std::int64_t>(device.a_wavelengths.size()) != Reader->num_wavelengths) {
        AcqState = Hold;
        ui.ask("The number of wavelengths this device outputs does not match the number of wavelengths "
               "specified in the device file.  Please find the appropriate device file and try again.",
               "Odds are it's a device file mismatch", false);
        B_StopClick();
        return;
    }
    if (Reader->serial_number == device.serial_number) {
        AcqState = AskSaveFile;
        return;
    }
    AcqState = Hold;
    char text[160];
    std::snprintf(
        text, sizeof text,
        "The serial number of the device, %d, does not match the serial number of the device file, %d",
        static_cast<int>(Reader->serial_number), static_cast<int>(device.serial_number));
    ui.ask(text, "Serial number mismatch", false);
    B_StopClick();
}

void acquisition_control::tick_acquiring()
{
    if (DataSet->records.empty())
        return;
    const std::size_t n = Reader->buffer.size();
    if (n == LastByteCount) {
        if (seconds_since_activity_exceed(now(), disconnect_timeout)) {
            AcqState = Hold;
            ui.ask("Device timed out.  Did it get disconnected?", "It stopped giving me data....", false);
            AcqState = StopPending;
        }
        return;
    }
    LastByteCount = n;
    LastActivity = now();

    // The Eqa meter has no external temperature sensor to take it from.
    if (ui.panel().auto_temp && DataSet->model == model_ixo && !Reader->packets.empty())
        ui.set_text(acquisition_text::E_Temp, text::general(Reader->packets.back().ext_temperature));

    ui.frames_data_arrived();
    ApplyPanelSettings();
    if (SaveFileName.empty())
        return;
    try {
        DataSet->continue_save();
    } catch (const error& e) {
        // The records stay in memory; further appends would fail the same way.
        DataSet->end_continuous_save();
        SaveFileName.clear();
        ui.ask(e.what(), "", false);
        return;
    }
    show_file_size();
}

void acquisition_control::show_file_size()
{
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(SaveFileName, ec);
    if (!ec)
        ui.set_text(acquisition_text::L_SizeOfFile, file_size_text(size));
}

std::string acquisition_control::default_file_name() const
{
    return default_acquisition_name(DataSet->model, Reader->device ? Reader->device->serial_number : 0,
                                    now());
}

// ---------------------------------------------------------------- saves

void acquisition_control::A_SaveFromDeviceExecute()
{
    const std::string preset = default_file_name();
    if (!running) {
        if (const auto chosen = ui.choose_save_file(preset))
            DataSet->save_uncorrected(*chosen);
        return;
    }

    // During an acquisition every snapshot is a data file of the records so
    // far, written the same way as when idle.
    const auto snapshot = [&] {
        if (const auto chosen = ui.choose_save_file(preset)) {
            DataSet->save_uncorrected(*chosen);
            ui.set_caption(*chosen);
        }
    };

    if (!SaveFileName.empty()) {
        if (ui.ask(
                "You are still collecting data.  The file will only contain data up to this point.  Continue "
                "saving?",
                "You're still in the middle of things....", true))
            snapshot();
        return;
    }

    if (!ui.ask_continue_saving()) {
        snapshot();
        return;
    }
    const auto chosen = ui.choose_save_file(preset);
    if (!chosen)
        return;
    if (!DataSet->begin_continuous_save(*chosen)) {
        DataSet->end_continuous_save();
        throw error(open_failure_text);
    }
    SaveFileName = *chosen;
    DataSet->continue_save();
    ui.set_caption(SaveFileName);
}

void acquisition_control::A_SaveWCorrectionsExecute()
{
    const std::string& name = DataSet->data_file;
    const std::string preset =
        name.substr(0, name.size() >= 4 ? name.size() - 4 : 0) + "_previewcorrected.dat";
    const auto chosen = ui.choose_save_file(preset);
    if (!chosen)
        return;

    const acquisition_panel p = ui.panel();
    DataSet->apply_temp = false;
    DataSet->apply_saln = false;
    DataSet->apply_scat = false;
    DataSet->const_temp = text::leading_double(p.temp_text);
    DataSet->const_saln = text::leading_double(p.saln_text);
    DataSet->set_scat_ref(text::leading_double(p.scat_wl_text));
    DataSet->temp_source = 1;
    DataSet->saln_source = 1;
    DataSet->apply_scat = p.scat;
    DataSet->apply_saln = p.saln;
    DataSet->apply_temp = p.temp;
    DataSet->save_processed(*chosen, true);
}

// ---------------------------------------------------------------- preview

void acquisition_control::ApplyPanelSettings()
{
    if (DataSet->records.empty())
        return;
    const acquisition_panel p = ui.panel();
    if (!p.page_shown) {
        ui.apply_post_processing_settings();
        return;
    }
    take_preview_inputs(p);
    DataSet->apply_scat = p.scat;
    DataSet->scat_method = scat_method_of(p.scat_type);
    const double chosen = DataSet->set_scat_ref(text::leading_double(p.scat_wl_text));
    ui.set_text(acquisition_text::E_ScatWL, text::general(chosen));
    ui.frames_redraw();
}

void acquisition_control::UpDown1Click(bool up)
{
    if (!DataLoaded || DataSet->a_wavelengths.empty())
        return;
    const auto last = static_cast<std::int32_t>(DataSet->a_wavelengths.size()) - 1;
    std::int32_t i = DataSet->scat_ref_a_index;
    if (i == no_scat_ref || i > last)
        i = last;
    if (up)
        i = i < last ? i + 1 : i;
    else
        i = i > 0 ? i - 1 : i;
    ui.set_text(acquisition_text::E_ScatWL,
                text::general(DataSet->a_wavelengths[static_cast<std::size_t>(i)]));
    ApplyPanelSettings();
}

void acquisition_control::E_ScatWLEnter()
{
    if (!DataLoaded)
        return;
    if (!DataSet->a_wavelengths.empty())
        DataSet->set_scat_ref(text::leading_double(ui.panel().scat_wl_text));
    ApplyPanelSettings();
}

} // namespace vantrel
