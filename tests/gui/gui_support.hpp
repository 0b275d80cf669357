#pragma once

#include "app/main_window.hpp"
#include "app/postprocess_panel.hpp"
#include "app/window_prompts.hpp"
#include "plots/graph_list.hpp"
#include "plots/parent_frame.hpp"
#include "plots/plot_prompts.hpp"
#include "test_support.hpp"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QPushButton>
#include <QSettings>
#include <QTabWidget>
#include <QTest>

#include <cstdlib>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vantrel::testing {

// The user at the other end of the window's dialogs: every message box,
// file dialog and modal window is recorded and answered from a script.
class scripted_prompts : public window_prompts {
public:
    struct message_shown {
        QString text;
        QString caption;
        bool ok_cancel = false;
    };
    struct file_dialog_shown {
        bool saving = false;
        QString title;
        QString filter;
        QString file_name; // the preset
        bool overwrite_prompt = false;
    };

    bool message(QWidget* /*parent*/, const QString& text, const QString& caption, bool ok_cancel) override
    {
        messages.push_back({text, caption, ok_cancel});
        if (message_answers.empty())
            return true;
        const bool answer = message_answers.front();
        message_answers.pop_front();
        return answer;
    }
    std::optional<QString> open_file(QWidget* /*parent*/, shared_file_dialog& dialog) override
    {
        return answer_file(dialog, false);
    }
    std::optional<QString> save_file(QWidget* /*parent*/, shared_file_dialog& dialog) override
    {
        return answer_file(dialog, true);
    }
    int run_modal(QDialog& dialog) override
    {
        modal_shown.push_back(dialog.objectName());
        if (modal_answers.empty()) {
            ADD_FAILURE() << "unexpected modal window " << dialog.objectName().toStdString();
            return QDialog::Rejected;
        }
        auto answer = std::move(modal_answers.front());
        modal_answers.pop_front();
        // Shown as exec() would show it, so that its own handlers run as for the user.
        dialog.setResult(0);
        dialog.show();
        const int result = answer(dialog);
        EXPECT_FALSE(dialog.isVisible()) << "the modal window did not close";
        dialog.hide();
        return result;
    }

    // Answers, in order of asking.
    void answer_file(std::optional<QString> path) { file_answers.push_back(std::move(path)); }
    void answer_modal(std::function<int(QDialog&)> answer) { modal_answers.push_back(std::move(answer)); }

    QStringList message_texts() const
    {
        QStringList t;
        for (const auto& m : messages)
            t.append(m.text);
        return t;
    }

    std::vector<message_shown> messages;
    std::deque<bool> message_answers; // OK when empty
    std::vector<file_dialog_shown> file_dialogs;
    std::deque<std::optional<QString>> file_answers;
    std::vector<QString> modal_shown;
    std::deque<std::function<int(QDialog&)>> modal_answers;
    // Runs as a file dialog opens (to look at the window at that moment).
    std::function<void()> on_file_dialog;

private:
    std::optional<QString> answer_file(shared_file_dialog& dialog, bool saving)
    {
        file_dialogs.push_back(
            {saving, dialog.title, dialog.filter, dialog.file_name, dialog.overwrite_prompt});
        if (on_file_dialog)
            on_file_dialog();
        if (file_answers.empty()) {
            ADD_FAILURE() << "unexpected file dialog: " << dialog.title.toStdString();
            return std::nullopt;
        }
        std::optional<QString> answer = file_answers.front();
        file_answers.pop_front();
        if (answer)
            dialog.file_name = *answer;
        return answer;
    }
};

// The plot frames' questions: none is expected in these tests.
class scripted_plot_prompts : public plot_prompts {
public:
    std::optional<std::string> save_file_name(const std::string& title, const std::string& /*filter*/,
                                              const std::string& /*proposed*/) override
    {
        ADD_FAILURE() << "unexpected plot save dialog " << title;
        return std::nullopt;
    }
    void message(const std::string& text, const std::string& caption) override
    {
        ADD_FAILURE() << "unexpected plot message " << caption << ": " << text;
    }
    std::optional<std::string> make_water_cal(const water_cal_preview& /*preview*/) override
    {
        ADD_FAILURE() << "unexpected Make Water Cal dialog";
        return std::nullopt;
    }
};

// A plot frame that counts what the main window asks of every frame.
class spy_frame : public TFr_ParentFrame {
public:
    using TFr_ParentFrame::TFr_ParentFrame;
    void SetDataSet(IXO_Data* ds) override
    {
        ++data_sets;
        shown = ds;
    }
    void Redraw() override { ++redraws; }
    void SetLiveMode(bool on) override
    {
        live = on;
        ++live_changes;
    }
    void DataArrived() override { ++arrivals; }

    IXO_Data* shown = nullptr;
    int data_sets = 0;
    int redraws = 0;
    int live_changes = 0;
    int arrivals = 0;
    bool live = true;
};

// Waits, serving the event loop, until the condition holds or the time is up.
inline bool wait_until(const std::function<bool()>& condition, int limit_ms = 15000)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > limit_ms)
            return false;
        QTest::qWait(20);
    }
    return true;
}

// A main window on a settings file of its own, with scripted prompts.
class window_test : public temp_dir_test {
protected:
    void SetUp() override
    {
        temp_dir_test::SetUp();
        settings_file = path("settings.ini");
        ::setenv("VANTREL_SETTINGS", settings_file.c_str(), 1);
    }
    void TearDown() override
    {
        window.reset();
        temp_dir_test::TearDown();
    }

    // Values stored before the program starts.
    void store_setting(const QString& name, const QVariant& value)
    {
        QSettings s(QString::fromStdString(settings_file), QSettings::IniFormat);
        s.setValue(name, value);
    }
    QVariant stored_setting(const QString& name) const
    {
        QSettings s(QString::fromStdString(settings_file), QSettings::IniFormat);
        return s.value(name);
    }

    // Opens the window and lets its first activation run.
    TF_Main& open_window()
    {
        main_window_services services;
        if (fixed_time)
            services.now = [this] { return *fixed_time; };
        services.end_process = [this](int code) { exit_code = code; };
        services.plot_questions = &plot_questions;
        window = std::make_unique<TF_Main>(prompts, services);
        window->show();
        QApplication::processEvents();
        return *window;
    }

    template <class W> W* child(QObject& parent, const char* name)
    {
        W* found = parent.findChild<W*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << "no control " << name;
        return found;
    }

    IXO_Data& data() { return *window->Acquisition->DataSet; }

    // A frame of our own in the graph list, after the built-in ones.
    spy_frame& add_spy()
    {
        auto* spy = new spy_frame(window.get());
        spy->hide();
        window->Graphs->add_builtin(spy);
        return *spy;
    }

    // Loads a data file through "Load ac Data" on the post-processing page.
    void load_data(const std::string& file)
    {
        prompts.answer_file(QString::fromStdString(file));
        window->PageControl1->setCurrentIndex(1);
        QTest::mouseClick(child<QPushButton>(*window->Fr_PostProcess, "B_OpenIXO"), Qt::LeftButton);
    }

    scripted_prompts prompts;
    scripted_plot_prompts plot_questions;
    std::unique_ptr<TF_Main> window;
    std::string settings_file;
    std::optional<std::time_t> fixed_time;
    std::optional<int> exit_code;
};

} // namespace vantrel::testing
