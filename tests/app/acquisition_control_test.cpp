#include "app/acquisition_control.hpp"
#include "common/error.hpp"
#include "common/text_numbers.hpp"
#include "instrument/meter_simulator.hpp"
#include "test_support.hpp"

#include <cmath>
#include <deque>
#include <functional>
#include <map>

using namespace vantrel;
using namespace vantrel::testing;

namespace {

// The meter's end of the line: bytes the test sends wait here until a read.
struct fake_line {
    std::deque<std::uint8_t> pending;
    bool refuse_open = false;
    bool open = false;
};

class fake_serial : public Serial {
public:
    explicit fake_serial(std::shared_ptr<fake_line> l) : line(std::move(l)) {}
    void open(std::int32_t n) override
    {
        if (line->refuse_open)
            throw error("Could Not Open COM" + std::to_string(n));
        line->open = true;
    }
    void open_named(const std::string& name) override
    {
        if (line->refuse_open)
            throw error("Could Not Open " + name);
        line->open = true;
    }
    void close() override { line->open = false; }
    std::size_t read(std::uint8_t* out, std::size_t count) override
    {
        std::size_t n = 0;
        for (; n < count && !line->pending.empty(); ++n) {
            out[n] = line->pending.front();
            line->pending.pop_front();
        }
        return n;
    }

private:
    std::shared_ptr<fake_line> line;
};

struct question {
    std::string text;
    std::string caption;
    bool ok_cancel;
};

// The user, scripted: answers come from queues, everything shown is recorded.
class scripted_ui : public acquisition_ui {
public:
    acquisition_panel panel_state;
    std::deque<bool> answers; // OK/Cancel questions; OK when the queue is empty
    std::vector<question> asked;
    std::deque<std::optional<std::string>> save_answers; // cancelled when empty
    std::vector<std::string> save_presets;
    fac_cal_answer fac_answer = fac_cal_answer::accepted;
    double fac_value = 0.0;
    double fac_shown = -1.0;
    int fac_queries = 0;
    bool continue_saving = false;
    int continue_queries = 0;
    std::map<acquisition_text, std::string> texts;
    std::string caption = "untouched";
    bool acquiring = false;
    bool timer = false;
    bool reference_spectra = false;
    IXO_Data* frames_data = nullptr;
    bool live = false;
    int redraws = 0;
    int arrivals = 0;
    // Runs while a question is open, as the window's nested event loop does.
    std::function<void()> while_asking;

    acquisition_panel panel() override { return panel_state; }
    bool ask(const std::string& text, const std::string& cap, bool ok_cancel) override
    {
        asked.push_back({text, cap, ok_cancel});
        if (while_asking)
            while_asking();
        if (!ok_cancel || answers.empty())
            return true;
        const bool a = answers.front();
        answers.pop_front();
        return a;
    }
    std::optional<std::string> choose_save_file(const std::string& preset) override
    {
        save_presets.push_back(preset);
        if (save_answers.empty())
            return std::nullopt;
        auto a = save_answers.front();
        save_answers.pop_front();
        return a;
    }
    fac_cal_answer ask_factory_cal_temp(double& value) override
    {
        ++fac_queries;
        fac_shown = value;
        if (fac_answer == fac_cal_answer::accepted)
            value = fac_value;
        return fac_answer;
    }
    bool ask_continue_saving() override
    {
        ++continue_queries;
        return continue_saving;
    }
    void set_text(acquisition_text which, const std::string& text) override
    {
        texts[which] = text;
        // The edit boxes are read back as the window's would be.
        if (which == acquisition_text::E_ScatWL)
            panel_state.scat_wl_text = text;
        if (which == acquisition_text::E_Temp)
            panel_state.temp_text = text;
    }
    void set_caption(const std::string& c) override { caption = c; }
    void set_acquiring(bool a) override { acquiring = a; }
    void set_reference_spectra_enabled(bool e) override { reference_spectra = e; }
    void set_poll_timer(bool r) override { timer = r; }
    void frames_set_data_set(IXO_Data* d) override { frames_data = d; }
    void frames_set_live_mode(bool l) override { live = l; }
    void frames_data_arrived() override { ++arrivals; }
    void frames_redraw() override { ++redraws; }

    std::string text(acquisition_text which) const
    {
        const auto it = texts.find(which);
        return it == texts.end() ? std::string("(unset)") : it->second;
    }
};

// A controller wired to a scripted user, a fake line with a simulated meter
// on it and a clock the test moves.
class acquisition_test : public temp_dir_test {
protected:
    std::time_t clock_now = 1'250'000'000;
    std::shared_ptr<fake_line> line = std::make_shared<fake_line>();
    scripted_ui ui;
    reg settings{std::make_unique<memory_settings>()};
    acquisition_control ctl{ui, settings, [this] { return std::make_unique<fake_serial>(line); },
                            [this] { return clock_now; }};
    std::unique_ptr<meter_simulator> meter;

    void use_device(const std::string& path, simulator_settings s = {})
    {
        ui.panel_state.device_path = path;
        devfile device;
        device.load(path);
        meter = std::make_unique<meter_simulator>(device, s);
    }

    void send(std::size_t records)
    {
        for (std::size_t i = 0; i < records; ++i) {
            const auto r = meter->next_record();
            line->pending.insert(line->pending.end(), r.bytes.begin(), r.bytes.end());
        }
    }
    void send_closing()
    {
        const auto tail = meter->closing_bytes();
        line->pending.insert(line->pending.end(), tail.begin(), tail.end());
    }

    void tick(std::time_t advance = 0)
    {
        clock_now += advance;
        ctl.Timer1Timer();
    }

    // Start, first bytes, serial check: the tick after this offers the file.
    void start_and_check(std::size_t records = 3)
    {
        ctl.B_StartClick();
        ASSERT_TRUE(ui.timer);
        send(records);
        tick(); // WaitingForData -> Checking
        tick(); // Checking -> AskSaveFile
        ASSERT_EQ(ctl.AcqState, AskSaveFile);
    }

    void expect_same_records_as_reader() const
    {
        ASSERT_EQ(ctl.DataSet->records.size(), ctl.Reader->records.size());
        for (std::size_t i = 0; i < ctl.Reader->records.size(); ++i) {
            EXPECT_EQ(ctl.DataSet->records[i].time, ctl.Reader->records[i].time);
            EXPECT_EQ(ctl.DataSet->records[i].a, ctl.Reader->records[i].a);
            EXPECT_EQ(ctl.DataSet->records[i].c, ctl.Reader->records[i].c);
        }
    }

    // A copy of the Ixo example whose channel list is one line short.
    std::string short_device_file()
    {
        auto lines = read_lines(example("ixo_86.dev"));
        std::string text;
        for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
            std::string l = lines[i];
            if (l.rfind("86\t", 0) == 0)
                l = "85" + l.substr(2);
            text += l + "\n";
        }
        write_text(path("short.dev"), text);
        return path("short.dev");
    }
};

} // namespace

TEST_F(acquisition_test, a_whole_acquisition_writes_every_record_to_the_continuous_file)
{
    use_device(example("ixo_86.dev"));
    ui.panel_state.port_number = 7;
    ctl.B_StartClick();
    EXPECT_TRUE(ui.acquiring);
    EXPECT_TRUE(ui.live);
    EXPECT_FALSE(ui.reference_spectra);
    EXPECT_EQ(ui.caption, "");
    EXPECT_EQ(ui.frames_data, ctl.DataSet.get());
    EXPECT_EQ(ui.text(acquisition_text::L_FacCalTemp), "Device File Calibration Temp: 21.4");
    EXPECT_EQ(ui.text(acquisition_text::E_IXOFile), "(Collecting data--please don't use until finished)");
    EXPECT_EQ(settings.commport, 7);
    EXPECT_TRUE(line->open);
    EXPECT_EQ(ctl.DataSet->a_wavelengths.size(), 86U);
    EXPECT_NEAR(ctl.DataSet->scat_ref_a_wl, 715.0, 2.5);
    // The preview's temperature correction has the device file's reference.
    EXPECT_FLOAT_EQ(static_cast<float>(ctl.DataSet->factory_cal_temp), 21.4F);

    tick();
    EXPECT_EQ(ui.text(acquisition_text::L_Progress), "Waiting for data...");
    EXPECT_EQ(ctl.AcqState, WaitingForData);

    send(4);
    tick();
    EXPECT_EQ(ctl.AcqState, Checking);
    tick();
    EXPECT_EQ(ctl.AcqState, AskSaveFile);

    ui.save_answers.push_back(path("cast.dat"));
    tick(1);
    EXPECT_EQ(ctl.AcqState, Acquiring);
    EXPECT_EQ(ui.save_presets.back(), default_acquisition_name(model_ixo, 212, clock_now));
    EXPECT_EQ(ctl.SaveFileName, path("cast.dat"));
    EXPECT_EQ(ui.caption, path("cast.dat"));
    EXPECT_EQ(ctl.DataSet->data_file, path("cast.dat"));

    for (int i = 0; i < 20; ++i) {
        send(i % 3);
        tick(1);
        expect_same_records_as_reader();
    }
    EXPECT_GT(ui.arrivals, 0);
    EXPECT_GT(ui.redraws, 0);
    // Every packet is kept, only the newest with its raw counts.
    const auto& packets = ctl.Reader->packets;
    ASSERT_EQ(packets.size(), ctl.Reader->records.size());
    EXPECT_TRUE(packets.front().a_signal.empty());
    EXPECT_EQ(packets.front().serial_number, packets.back().serial_number);
    EXPECT_EQ(packets.back().a_signal.size(), 86U);
    EXPECT_NE(ui.text(acquisition_text::L_SizeOfFile).find("File size: "), std::string::npos);

    send(2);
    send_closing();
    tick();
    ctl.B_StopClick();
    EXPECT_FALSE(ui.timer);
    EXPECT_FALSE(ui.acquiring);
    EXPECT_FALSE(ui.live);
    EXPECT_EQ(ctl.AcqState, WaitingForData);
    EXPECT_EQ(ctl.SaveFileName, "");
    EXPECT_EQ(ui.text(acquisition_text::E_IXOFile), path("cast.dat"));
    EXPECT_EQ(ui.text(acquisition_text::L_Progress), "");
    EXPECT_FALSE(line->open);
    EXPECT_TRUE(ui.asked.empty());

    // The file holds exactly the reader's records, in the device file's layout.
    IXO_Data back;
    back.load_file(path("cast.dat"), false);
    ASSERT_EQ(back.records.size(), ctl.Reader->records.size());
    ASSERT_GT(back.records.size(), 20U);
    for (std::size_t i = 0; i < back.records.size(); ++i) {
        EXPECT_NEAR(back.records[i].time, ctl.Reader->records[i].time, 1e-6);
        for (std::size_t w = 0; w < 86; ++w)
            EXPECT_NEAR(back.records[i].a[w], ctl.Reader->records[i].a[w],
                        1e-9 + 1e-9 * std::fabs(back.records[i].a[w]));
    }
}

TEST_F(acquisition_test, time_outs_come_after_more_than_their_whole_seconds)
{
    use_device(example("ixo_86.dev"));
    // No data: the question at 21 s; OK gives another 21 s; Cancel stops.
    ui.answers = {true, false};
    ctl.B_StartClick();
    tick(20);
    EXPECT_TRUE(ui.asked.empty());
    tick(1);
    ASSERT_EQ(ui.asked.size(), 1U);
    EXPECT_EQ(ui.asked[0].text, "Device timed out.  Continue waiting?");
    EXPECT_EQ(ui.asked[0].caption, "No data yet...");
    EXPECT_TRUE(ui.asked[0].ok_cancel);
    EXPECT_EQ(ctl.AcqState, WaitingForData);
    tick(20);
    EXPECT_EQ(ui.asked.size(), 1U);
    tick(1);
    ASSERT_EQ(ui.asked.size(), 2U);
    EXPECT_FALSE(ui.timer);
    EXPECT_FALSE(ui.acquiring);
    EXPECT_EQ(ui.text(acquisition_text::E_IXOFile), "(data not saved)");

    // Bytes that never bring a serial number: the parse question at 31 s.
    ui.asked.clear();
    ui.answers = {true, false};
    ctl.B_StartClick();
    line->pending.assign(300, 0x55);
    tick();
    EXPECT_EQ(ctl.AcqState, Checking);
    tick(30);
    EXPECT_TRUE(ui.asked.empty());
    tick(1);
    ASSERT_EQ(ui.asked.size(), 1U);
    EXPECT_EQ(ui.asked[0].caption, "Unable to parse data");
    EXPECT_EQ(ui.asked[0].text.substr(0, 47), "Unable to parse data.  This keep be one of a fe");
    EXPECT_EQ(ctl.AcqState, Checking);
    tick(31);
    EXPECT_EQ(ui.asked.size(), 2U);
    EXPECT_FALSE(ui.timer);

    // Acquiring with no new byte: the disconnect message at 11 s, the stop at the next tick.
    ui.asked.clear();
    start_and_check();
    tick(); // AskSaveFile (cancelled) -> Acquiring
    send(1);
    tick();
    tick(10);
    EXPECT_TRUE(ui.asked.empty());
    tick(1);
    ASSERT_EQ(ui.asked.size(), 1U);
    EXPECT_EQ(ui.asked[0].text, "Device timed out.  Did it get disconnected?");
    EXPECT_EQ(ui.asked[0].caption, "It stopped giving me data....");
    EXPECT_EQ(ctl.AcqState, StopPending);
    EXPECT_TRUE(ui.timer);
    tick();
    EXPECT_FALSE(ui.timer);
    EXPECT_EQ(ctl.AcqState, WaitingForData);
}

TEST_F(acquisition_test, ticks_while_a_question_is_open_keep_reading_and_decide_nothing)
{
    use_device(example("ixo_86.dev"));
    std::vector<std::int32_t> states_seen;
    ui.while_asking = [&] {
        for (int i = 0; i < 5; ++i) {
            send(1);
            tick(15);
            states_seen.push_back(ctl.AcqState);
        }
    };
    ui.answers = {false};
    start_and_check();
    tick(); // cancelled save dialog -> Acquiring
    send(1);
    tick();
    tick(11); // the disconnect message, with nested ticks bringing records
    ASSERT_EQ(ui.asked.size(), 1U);
    EXPECT_EQ(states_seen, std::vector<std::int32_t>(5, Hold));
    expect_same_records_as_reader();
    EXPECT_EQ(ctl.AcqState, StopPending);
    EXPECT_TRUE(ui.timer);
}

TEST_F(acquisition_test, a_stream_that_does_not_match_the_device_file_stops_with_its_message)
{
    // The serial number: the stream's first, the device file's second.
    simulator_settings other;
    other.serial_number = 4242;
    use_device(example("ixo_86.dev"), other);
    ctl.B_StartClick();
    send(3);
    tick();
    tick();
    ASSERT_EQ(ui.asked.size(), 1U);
    EXPECT_EQ(ui.asked[0].text,
              "The serial number of the device, 4242, does not match the serial number of the "
              "device file, 212");
    EXPECT_EQ(ui.asked[0].caption, "Serial number mismatch");
    EXPECT_FALSE(ui.asked[0].ok_cancel);
    EXPECT_FALSE(ui.timer);
    EXPECT_EQ(ctl.AcqState, WaitingForData);

    // The wavelength count.
    ui.asked.clear();
    use_device(example("ixo_86.dev"));
    ui.panel_state.device_path = short_device_file();
    ctl.B_StartClick();
    ASSERT_TRUE(ui.timer);
    send(3);
    tick();
    tick();
    ASSERT_EQ(ui.asked.size(), 1U);
    EXPECT_EQ(ui.asked[0].caption, "Odds are it's a device file mismatch");
    EXPECT_EQ(ui.asked[0].text.substr(0, 60), "The number of wavelengths this device outputs does not match");
    EXPECT_FALSE(ui.timer);
}

TEST_F(acquisition_test, failed_starts_tell_why_and_leave_the_program_idle)
{
    // A device file that cannot be read: its loader's text, no caption of its own.
    ui.panel_state.device_path = path("missing.dev");
    IXO_Data* before = ctl.DataSet.get();
    ctl.B_StartClick();
    ASSERT_EQ(ui.asked.size(), 1U);
    EXPECT_EQ(ui.asked[0].caption, "");
    EXPECT_FALSE(ui.asked[0].text.empty());
    EXPECT_FALSE(ui.timer);
    EXPECT_FALSE(ui.acquiring);
    EXPECT_NE(ctl.DataSet.get(), before);
    EXPECT_EQ(ui.frames_data, ctl.DataSet.get());

    // A port that will not open.
    ui.asked.clear();
    ui.panel_state.device_path = example("ixo_86.dev");
    ui.panel_state.port_number = 3;
    line->refuse_open = true;
    ctl.B_StartClick();
    ASSERT_EQ(ui.asked.size(), 1U);
    EXPECT_EQ(ui.asked[0].text, "Could Not Open COM3");
    EXPECT_EQ(ui.asked[0].caption, "Comm Error");
    EXPECT_FALSE(ui.timer);
    ui.panel_state.port_name = "/dev/ttyUSB0";
    ctl.B_StartClick();
    EXPECT_EQ(ui.asked.back().text, "Could Not Open /dev/ttyUSB0");
    EXPECT_EQ(settings.commport_name, "/dev/ttyUSB0");

    // The start page must be the one shown.
    ui.asked.clear();
    line->refuse_open = false;
    ui.panel_state.page_shown = false;
    before = ctl.DataSet.get();
    ctl.B_StartClick();
    EXPECT_EQ(ctl.DataSet.get(), before);
    EXPECT_FALSE(ui.timer);
    EXPECT_TRUE(ui.asked.empty());
}

TEST_F(acquisition_test, a_device_file_without_factory_temperature_asks_for_it)
{
    std::string text;
    for (const auto& l : read_lines(example("ixo_86.dev")))
        text += (l.rfind("tcal:", 0) == 0 ? std::string("no calibration temperature here") : l) + "\n";
    write_text(path("notcal.dev"), text);
    ui.panel_state.device_path = path("notcal.dev");

    ui.fac_answer = fac_cal_answer::cancelled;
    ctl.B_StartClick();
    EXPECT_EQ(ui.fac_queries, 1);
    EXPECT_EQ(ui.text(acquisition_text::L_FacCalTemp), "Unable to parse Factory Temperature Calibration");
    EXPECT_FALSE(ui.timer);
    EXPECT_FALSE(ui.acquiring);
    EXPECT_FALSE(line->open);

    ui.fac_answer = fac_cal_answer::accepted;
    ui.fac_value = 19.25;
    ctl.B_StartClick();
    EXPECT_TRUE(ui.timer);
    EXPECT_EQ(ui.text(acquisition_text::L_FacCalTemp), "Device File Calibration Temp: 19.2");
    EXPECT_DOUBLE_EQ(ctl.DataSet->factory_cal_temp, 19.25);
    ctl.B_StopClick();

    // The dialog shows the last entry; closing it keeps the device file's value.
    ui.fac_answer = fac_cal_answer::closed;
    ctl.B_StartClick();
    EXPECT_EQ(ui.fac_shown, 19.25);
    EXPECT_TRUE(ui.timer);
    EXPECT_EQ(ctl.DataSet->factory_cal_temp, static_cast<double>(ctl.Reader->device->fac_cal_temp));
}

TEST_F(acquisition_test, without_a_continuous_file_the_acquisition_goes_on_in_memory)
{
    use_device(example("ixo_86.dev"));
    // The save dialog cancelled: no file, the default name as the data set's name.
    start_and_check();
    tick();
    EXPECT_EQ(ctl.AcqState, Acquiring);
    EXPECT_EQ(ui.text(acquisition_text::L_SizeOfFile), "");
    EXPECT_EQ(ctl.DataSet->data_file, ui.save_presets.back());
    send(2);
    tick();
    ctl.B_StopClick();
    EXPECT_EQ(ui.text(acquisition_text::E_IXOFile), "(data not saved)");
    EXPECT_TRUE(ui.asked.empty());

    // A file that cannot be opened: the user is told, recording goes on.
    ui.save_answers.push_back(path("no/such/dir/cast.dat"));
    start_and_check();
    tick();
    ASSERT_EQ(ui.asked.size(), 1U);
    EXPECT_EQ(ui.asked[0].text, "Unable to open file for saving.  Is this file opened in another program?");
    EXPECT_EQ(ctl.SaveFileName, "");
    EXPECT_EQ(ctl.AcqState, Acquiring);
    send(2);
    tick();
    EXPECT_GT(ctl.DataSet->records.size(), 2U);
}

TEST_F(acquisition_test, a_second_acquisition_starts_its_file_at_its_own_first_record)
{
    use_device(example("ixo_86.dev"));
    for (const std::string name : {"first.dat", "second.dat"}) {
        ui.save_answers.push_back(path(name));
        start_and_check(2);
        tick();
        for (int i = 0; i < 5; ++i) {
            send(1);
            tick();
        }
        send_closing();
        tick();
        ctl.B_StopClick();
        IXO_Data back;
        back.load_file(path(name), false);
        EXPECT_EQ(back.records.size(), ctl.Reader->records.size()) << name;
        EXPECT_EQ(back.records.size(), 7U) << name;
        line->pending.clear();
    }
}

TEST_F(acquisition_test, saving_from_the_device_idle_while_saving_and_while_not_saving)
{
    use_device(example("ixo_86.dev"));
    ui.save_answers.push_back(path("cont.dat"));
    start_and_check(4);
    tick();
    send(1);
    tick();
    const std::size_t so_far = ctl.DataSet->records.size();

    // While the continuous file is open: asked first, then a snapshot data file.
    ui.answers = {true};
    ui.save_answers.push_back(path("snap.dat"));
    ctl.A_SaveFromDeviceExecute();
    ASSERT_EQ(ui.asked.size(), 1U);
    EXPECT_EQ(ui.asked[0].caption, "You're still in the middle of things....");
    EXPECT_EQ(ui.caption, path("snap.dat"));
    EXPECT_EQ(ctl.SaveFileName, path("cont.dat"));
    IXO_Data snap;
    snap.load_file(path("snap.dat"), false);
    EXPECT_EQ(snap.records.size(), so_far);
    ctl.B_StopClick();

    // Not saving: the continue-saving dialog. "Just save what has been read"
    // writes a snapshot; continuing writes all records so far and goes on.
    start_and_check(4);
    tick(); // save dialog cancelled
    send(1);
    tick();
    ui.continue_saving = false;
    ui.save_answers.push_back(path("just.dat"));
    ctl.A_SaveFromDeviceExecute();
    EXPECT_EQ(ui.continue_queries, 1);
    EXPECT_EQ(ctl.SaveFileName, "");
    IXO_Data just;
    just.load_file(path("just.dat"), false);
    EXPECT_EQ(just.records.size(), ctl.DataSet->records.size());

    ui.continue_saving = true;
    ui.save_answers.push_back(path("late.dat"));
    ctl.A_SaveFromDeviceExecute();
    EXPECT_EQ(ui.continue_queries, 2);
    EXPECT_EQ(ctl.SaveFileName, path("late.dat"));
    for (int i = 0; i < 3; ++i) {
        send(1);
        tick();
    }
    send_closing();
    tick();
    ctl.B_StopClick();
    IXO_Data late;
    late.load_file(path("late.dat"), false);
    EXPECT_EQ(late.records.size(), ctl.Reader->records.size());
    EXPECT_GT(late.records.size(), just.records.size());

    // Idle: saved at once.
    ui.save_answers.push_back(path("idle.dat"));
    ctl.A_SaveFromDeviceExecute();
    IXO_Data idle;
    idle.load_file(path("idle.dat"), false);
    EXPECT_EQ(idle.records.size(), ctl.DataSet->records.size());
}

TEST_F(acquisition_test, the_preview_follows_the_panel)
{
    use_device(example("ixo_86.dev"));
    ctl.B_StartClick();
    // Nothing at all while there are no records, not even a redraw.
    ui.panel_state.scat = true;
    ctl.ApplyPanelSettings();
    EXPECT_EQ(ui.redraws, 0);
    EXPECT_FALSE(ctl.DataSet->apply_scat);

    send(3);
    tick();
    const struct {
        std::int32_t item;
        std::int32_t method;
    } methods[] = {{0, 2}, {1, 1}, {2, 3}};
    for (const auto& m : methods) {
        ui.panel_state.scat_type = m.item;
        ui.panel_state.scat_wl_text = "650nm";
        ui.panel_state.temp_text = "12.5 C";
        ui.panel_state.saln_text = "salty";
        ctl.ApplyPanelSettings();
        EXPECT_EQ(ctl.DataSet->scat_method, m.method);
        EXPECT_TRUE(ctl.DataSet->apply_scat);
        EXPECT_EQ(ctl.DataSet->const_temp, 12.5);
        EXPECT_EQ(ctl.DataSet->const_saln, 0.0);
    }
    const double chosen = ctl.DataSet->scat_ref_a_wl;
    EXPECT_EQ(ui.text(acquisition_text::E_ScatWL), text::general(chosen));

    // Stepping the reference stops at both ends of the a list.
    const auto& a = ctl.DataSet->a_wavelengths;
    ui.panel_state.scat_wl_text = text::general(a.front());
    ctl.E_ScatWLEnter();
    ctl.UpDown1Click(false);
    EXPECT_EQ(ui.text(acquisition_text::E_ScatWL), text::general(a.front()));
    ctl.UpDown1Click(true);
    EXPECT_EQ(ui.text(acquisition_text::E_ScatWL), text::general(a[1]));
    ui.panel_state.scat_wl_text = text::general(a.back());
    ctl.E_ScatWLEnter();
    ctl.UpDown1Click(true);
    EXPECT_EQ(ui.text(acquisition_text::E_ScatWL), text::general(a.back()));
}

TEST_F(acquisition_test, the_automatic_temperature_comes_from_the_ixo_meter_only)
{
    for (const std::string dev : {"ixo_86.dev", "eqa_9.dev"}) {
        use_device(example(dev));
        ui.texts.erase(acquisition_text::E_Temp);
        ui.panel_state.auto_temp = true;
        start_and_check(dev == "ixo_86.dev" ? 3 : 2);
        tick();
        send(1);
        tick();
        if (dev == "ixo_86.dev") {
            EXPECT_EQ(ui.text(acquisition_text::E_Temp),
                      text::general(ctl.Reader->packets.back().ext_temperature));
            EXPECT_FALSE(ui.reference_spectra);
        } else {
            EXPECT_EQ(ui.text(acquisition_text::E_Temp), "(unset)");
            EXPECT_TRUE(ui.reference_spectra);
            EXPECT_EQ(ctl.DataSet->model, model_eqa);
            EXPECT_EQ(ctl.DataSet->column_is_a.size(), 18U);
        }
        ctl.B_StopClick();
        line->pending.clear();
    }
}

TEST(acquisition_names, default_names_and_size_texts)
{
    // 23:59:59 local time gives minute field 60 and second field 60.
    std::tm t{};
    t.tm_year = 2009 - 1900;
    t.tm_mon = 7;
    t.tm_mday = 5;
    t.tm_hour = 23;
    t.tm_min = 59;
    t.tm_sec = 59;
    t.tm_isdst = -1;
    EXPECT_EQ(default_acquisition_name(model_ixo, 123, std::mktime(&t)), "ixo_123_20090805236060.dat");
    t.tm_hour = 14;
    t.tm_min = 3;
    t.tm_sec = 7;
    EXPECT_EQ(default_acquisition_name(model_eqa, 7, std::mktime(&t)), "eqa_7_20090805140408.dat");

    const struct {
        std::uintmax_t bytes;
        const char* text;
    } sizes[] = {{0, "File size: 0 bytes"},      {1023, "File size: 1023 bytes"},
                 {1024, "File size: 1 KB"},      {1048575, "File size: 1023 KB"},
                 {1048576, "File size: 1.0 MB"}, {5 * 1048576 + 524288, "File size: 5.5 MB"}};
    for (const auto& s : sizes)
        EXPECT_EQ(file_size_text(s.bytes), s.text);
}
