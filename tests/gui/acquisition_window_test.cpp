#include "app/demo_meter.hpp"
#include "app/dialogs.hpp"
#include "app/postprocess_panel.hpp"
#include "app/realtime_panel.hpp"
#include "gui_support.hpp"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTimer>

using namespace vantrel;
using namespace vantrel::testing;

namespace {

class acquisition_window_test : public window_test {
protected:
    TFr_RealTime& rt() { return *window->Fr_RealTime; }
    TFr_PostProcess& pp() { return *window->Fr_PostProcess; }

    void press(Qt::Key key)
    {
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        QTest::keyClick(window.get(), key);
    }

    // The example device file without a readable factory calibration temperature.
    std::string device_without_fac_cal()
    {
        std::vector<std::string> lines = read_lines(example("ixo_86.dev"));
        lines.at(3) = "tcal:\tunknown\tC, factory calibration temperature";
        std::string text;
        for (const std::string& l : lines)
            text += l + "\n";
        write_text(path("no_tcal.dev"), text);
        return path("no_tcal.dev");
    }

    // Starts with a port that does not exist, so that a start that gets
    // past the device file ends at the port.
    void start_without_port(const std::string& device)
    {
        rt().E_Device->setText(QString::fromStdString(device));
        rt().PD_PortName->setEditText(QString::fromStdString(path("no-such-tty")));
        press(Qt::Key_F1);
    }

    std::vector<std::string> caption_list() const
    {
        std::vector<std::string> c;
        for (const auto& m : prompts.messages)
            c.push_back(m.caption.toStdString());
        return c;
    }
};

} // namespace

// ---------------------------------------------------------------- the factory calibration temperature

TEST_F(acquisition_window_test, factory_temperature_accepted_goes_on_with_the_number_entered)
{
    open_window();
    const std::string dev = device_without_fac_cal();
    QString shown_label;
    prompts.answer_modal([&](QDialog& d) {
        auto& query = dynamic_cast<TF_FacCalQuery&>(d);
        shown_label = rt().L_FacCalTemp->text();
        EXPECT_EQ(query.Edit1->text(), "");
        query.Edit1->setText("19.5 C");
        QTest::mouseClick(query.B_OK, Qt::LeftButton);
        return query.result();
    });
    start_without_port(dev);

    EXPECT_EQ(shown_label, "Unable to parse Factory Temperature Calibration");
    EXPECT_EQ(rt().L_FacCalTemp->text(), "Device File Calibration Temp: 19.5");
    EXPECT_EQ(window->Acquisition->Reader->device->fac_cal_temp, 19.5F);
    ASSERT_EQ(prompts.messages.size(), 1U);
    EXPECT_EQ(prompts.messages[0].caption, "Comm Error");
    EXPECT_EQ(prompts.messages[0].text.toStdString(), "Could Not Open " + path("no-such-tty"));
    EXPECT_TRUE(window->A_Start->isEnabled());
    EXPECT_FALSE(window->Timer1->isActive());

    // The next start with the same device file asks again, the last entry still in the box.
    QString second_entry;
    prompts.answer_modal([&](QDialog& d) {
        auto& query = dynamic_cast<TF_FacCalQuery&>(d);
        second_entry = query.Edit1->text();
        QTest::mouseClick(query.B_OK, Qt::LeftButton);
        return query.result();
    });
    press(Qt::Key_F1);
    EXPECT_EQ(second_entry, "19.5 C");
    EXPECT_EQ(prompts.modal_shown.size(), 2U);
}

TEST_F(acquisition_window_test, factory_temperature_cancelled_leaves_the_program_idle)
{
    open_window();
    prompts.answer_modal([](QDialog& d) {
        QTest::mouseClick(dynamic_cast<TF_FacCalQuery&>(d).B_Cancel, Qt::LeftButton);
        return d.result();
    });
    start_without_port(device_without_fac_cal());

    EXPECT_TRUE(prompts.messages.empty()) << "no port was tried";
    EXPECT_EQ(rt().L_FacCalTemp->text(), "Unable to parse Factory Temperature Calibration");
    EXPECT_TRUE(window->A_Start->isEnabled());
    EXPECT_FALSE(window->A_Stop->isEnabled());
    EXPECT_FALSE(window->Timer1->isActive());
    EXPECT_TRUE(rt().B_Device->isEnabled());
    EXPECT_EQ(pp().E_IXOFile->text(), "(data not saved)");
}

TEST_F(acquisition_window_test, factory_temperature_closed_keeps_the_device_files_value)
{
    open_window();
    prompts.answer_modal([](QDialog& d) {
        d.close();
        return d.result();
    });
    start_without_port(device_without_fac_cal());

    EXPECT_EQ(rt().L_FacCalTemp->text(), "Device File Calibration Temp: 0.0");
    EXPECT_EQ(caption_list(), std::vector<std::string>{"Comm Error"});
}

// ---------------------------------------------------------------- live acquisition from the simulator

TEST_F(acquisition_window_test, live_acquisition_from_the_simulated_meter_saves_stops_and_replays)
{
    demo_meter meter(QString::fromLatin1(VANTREL_CLI), QString::fromStdString(example("ixo_86.dev")),
                     {QStringLiteral("--rate"), QStringLiteral("20")});
    ASSERT_FALSE(meter.port().isEmpty());
    TF_Main& w = open_window();
    rt().E_Device->setText(QString::fromStdString(example("ixo_86.dev")));
    rt().PD_PortName->setEditText(meter.port());
    spy_frame& spy = add_spy();

    const std::string live = path("live.dat");
    prompts.answer_file(QString::fromStdString(live)); // the continuous file offered at the first good data
    // While the offer is open the poll goes on: records keep arriving.
    std::size_t records_at_offer = 0;
    std::size_t records_after_a_while = 0;
    prompts.on_file_dialog = [&] {
        if (records_at_offer != 0 || records_after_a_while != 0)
            return;
        records_at_offer = w.Acquisition->DataSet->records.size();
        wait_until([&] { return w.Acquisition->DataSet->records.size() >= records_at_offer + 5; }, 5000);
        records_after_a_while = w.Acquisition->DataSet->records.size();
    };
    press(Qt::Key_F1);
    ASSERT_TRUE(prompts.messages.empty()) << prompts.message_texts().join("|").toStdString();
    EXPECT_TRUE(w.Timer1->isActive());
    EXPECT_EQ(rt().L_FacCalTemp->text(), "Device File Calibration Temp: 21.4");
    EXPECT_EQ(pp().E_IXOFile->text(), "(Collecting data--please don't use until finished)");
    EXPECT_TRUE(spy.live);
    EXPECT_EQ(spy.shown, w.Acquisition->DataSet.get());

    // The enabled states while acquiring.
    EXPECT_FALSE(w.A_Start->isEnabled());
    EXPECT_TRUE(w.A_Stop->isEnabled());
    EXPECT_TRUE(rt().B_Stop->isEnabled());
    for (QWidget* c :
         std::initializer_list<QWidget*>{rt().B_Device, rt().E_CommPort, pp().B_OpenIXO, pp().B_Save})
        EXPECT_FALSE(c->isEnabled()) << c->objectName().toStdString();
    EXPECT_FALSE(w.PageControl1->isTabEnabled(1));
    EXPECT_FALSE(w.FileOpen1->isEnabled());
    EXPECT_FALSE(w.M_OpenBinary->isEnabled());
    EXPECT_FALSE(w.A_LoadCTD->isEnabled());
    EXPECT_FALSE(w.A_SaveWCorrections->isEnabled());
    EXPECT_TRUE(w.A_SaveBinary->isEnabled());
    EXPECT_TRUE(w.A_SaveFromDevice->isEnabled());

    ASSERT_TRUE(wait_until([&] {
        return !prompts.file_dialogs.empty() && w.Acquisition->DataSet->records.size() >= 30 &&
               !rt().L_SizeOfFile->text().isEmpty();
    })) << "records: "
        << w.Acquisition->DataSet->records.size();
    ASSERT_TRUE(prompts.messages.empty()) << prompts.message_texts().join("|").toStdString();

    EXPECT_GE(records_after_a_while, records_at_offer + 5);
    prompts.on_file_dialog = nullptr;
    const auto& offer = prompts.file_dialogs[0];
    EXPECT_TRUE(offer.saving);
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral("^ixo_212_\\d{14}\\.dat$")).match(offer.file_name).hasMatch())
        << offer.file_name.toStdString();
    EXPECT_EQ(w.windowTitle().toStdString(), live);
    EXPECT_TRUE(rt().L_SizeOfFile->text().startsWith("File size: "));
    EXPECT_FALSE(rt().L_Serial->text().isEmpty());
    EXPECT_FALSE(rt().L_InternalTemp->text().isEmpty());
    EXPECT_FALSE(rt().L_TimeStamp->text().isEmpty());
    // The live plots are fed: new data announced, then every frame redrawn.
    EXPECT_GT(spy.arrivals, 5);
    EXPECT_GE(spy.redraws, spy.arrivals);

    // A snapshot while saving continuously asks first; Cancel writes nothing.
    prompts.message_answers.push_back(false);
    w.A_SaveFromDevice->trigger();
    ASSERT_EQ(prompts.messages.size(), 1U);
    EXPECT_EQ(prompts.messages[0].caption, "You're still in the middle of things....");
    EXPECT_TRUE(prompts.messages[0].ok_cancel);
    EXPECT_EQ(prompts.file_dialogs.size(), 1U);

    press(Qt::Key_F2);
    EXPECT_TRUE(w.A_Start->isEnabled());
    EXPECT_FALSE(w.A_Stop->isEnabled());
    EXPECT_FALSE(w.Timer1->isActive());
    EXPECT_TRUE(rt().E_CommPort->isEnabled());
    EXPECT_TRUE(w.PageControl1->isTabEnabled(1));
    EXPECT_TRUE(w.A_LoadCTD->isEnabled());
    EXPECT_TRUE(w.A_SaveBinary->isEnabled());
    EXPECT_EQ(pp().E_IXOFile->text().toStdString(), live);
    EXPECT_FALSE(spy.live);
    EXPECT_EQ(spy.shown, w.Acquisition->DataSet.get());

    // Every record reached the continuous file.
    const std::deque<ixo_data> acquired = w.Acquisition->DataSet->records;
    ASSERT_EQ(acquired.size(), w.Acquisition->Reader->records.size());
    IXO_Data written;
    written.load_file(live, false);
    ASSERT_EQ(written.records.size(), acquired.size());
    EXPECT_EQ(written.records.back().time, acquired.back().time);

    // The raw capture: exactly the bytes received, under the file's name with .bin.
    const std::string raw = path("live.bin");
    prompts.answer_file(QString::fromStdString(raw));
    w.A_SaveBinary->trigger();
    EXPECT_EQ(prompts.file_dialogs.back().file_name.toStdString(), path("live.bin"));
    const std::vector<std::uint8_t> received = w.Acquisition->Reader->buffer;
    const std::string saved = read_text(raw);
    ASSERT_EQ(saved.size(), received.size());
    EXPECT_TRUE(std::equal(saved.begin(), saved.end(), received.begin(),
                           [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; }));
    meter.stop();

    // Its replay gives the same spectra again.
    prompts.answer_file(QString::fromStdString(raw));
    w.M_OpenBinary->trigger();
    ASSERT_EQ(prompts.messages.size(), 1U) << prompts.message_texts().join("|").toStdString();
    const auto& replayed = w.Acquisition->DataSet->records;
    ASSERT_EQ(replayed.size(), acquired.size());
    for (std::size_t i = 0; i < replayed.size(); i += 7) {
        EXPECT_EQ(replayed[i].time, acquired[i].time);
        EXPECT_EQ(replayed[i].a, acquired[i].a);
        EXPECT_EQ(replayed[i].c, acquired[i].c);
    }
    EXPECT_TRUE(w.Acquisition->DataLoaded);
    EXPECT_TRUE(w.A_SaveBinary->isEnabled());
}

TEST_F(acquisition_window_test, a_meter_of_another_serial_number_is_stopped_with_both_numbers)
{
    demo_meter meter(
        QString::fromLatin1(VANTREL_CLI), QString::fromStdString(example("ixo_86.dev")),
        {QStringLiteral("--rate"), QStringLiteral("20"), QStringLiteral("--serial"), QStringLiteral("77")});
    TF_Main& w = open_window();
    rt().E_Device->setText(QString::fromStdString(example("ixo_86.dev")));
    rt().PD_PortName->setEditText(meter.port());
    press(Qt::Key_F1);
    ASSERT_TRUE(wait_until([&] { return !prompts.messages.empty(); }));
    EXPECT_EQ(
        prompts.messages[0].text,
        "The serial number of the device, 77, does not match the serial number of the device file, 212");
    EXPECT_EQ(prompts.messages[0].caption, "Serial number mismatch");
    EXPECT_TRUE(w.A_Start->isEnabled());
    EXPECT_FALSE(w.Timer1->isActive());
    EXPECT_EQ(pp().E_IXOFile->text(), "(data not saved)");
}

TEST_F(acquisition_window_test, declined_continuous_file_can_be_taken_up_later_from_save_raw_data)
{
    demo_meter meter(QString::fromLatin1(VANTREL_CLI), QString::fromStdString(example("ixo_86.dev")),
                     {QStringLiteral("--rate"), QStringLiteral("20")});
    TF_Main& w = open_window();
    rt().E_Device->setText(QString::fromStdString(example("ixo_86.dev")));
    rt().PD_PortName->setEditText(meter.port());

    prompts.answer_file(std::nullopt); // no continuous file at the first good data
    press(Qt::Key_F1);
    ASSERT_TRUE(wait_until(
        [&] { return !prompts.file_dialogs.empty() && w.Acquisition->DataSet->records.size() >= 5; }));
    const QString default_name = prompts.file_dialogs[0].file_name;
    EXPECT_EQ(rt().L_SizeOfFile->text(), "");
    EXPECT_EQ(QString::fromStdString(w.Acquisition->DataSet->data_file), default_name);

    // The raw capture's name follows the default acquisition name.
    prompts.answer_file(std::nullopt);
    w.A_SaveBinary->trigger();
    QString raw_preset = default_name;
    raw_preset.replace(QStringLiteral(".dat"), QStringLiteral(".bin"));
    EXPECT_EQ(prompts.file_dialogs.back().file_name, raw_preset);

    // "Save and continuing saving to file" opens the continuous file now.
    const std::string later = path("later.dat");
    prompts.answer_modal([](QDialog& d) {
        QTest::mouseClick(dynamic_cast<TF_ContSaving&>(d).B_ContinueSaving, Qt::LeftButton);
        return d.result();
    });
    prompts.answer_file(QString::fromStdString(later));
    w.A_SaveFromDevice->trigger();
    ASSERT_EQ(prompts.modal_shown, std::vector<QString>{"F_ContSaving"});
    EXPECT_EQ(w.windowTitle().toStdString(), later);
    const std::size_t at_save = w.Acquisition->DataSet->records.size();
    ASSERT_TRUE(wait_until([&] { return w.Acquisition->DataSet->records.size() >= at_save + 5; }));

    w.A_Stop->trigger();
    ASSERT_TRUE(prompts.messages.empty()) << prompts.message_texts().join("|").toStdString();
    EXPECT_EQ(pp().E_IXOFile->text().toStdString(), later);
    IXO_Data written;
    written.load_file(later, false);
    EXPECT_EQ(written.records.size(), w.Acquisition->DataSet->records.size()) << "from the first record on";
}
