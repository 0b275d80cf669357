#include "app/main_window.hpp"

#include "app/capture_replay.hpp"
#include "app/ctd_columns_dialog.hpp"
#include "app/dialogs.hpp"
#include "app/postprocess_panel.hpp"
#include "app/qt_settings.hpp"
#include "app/realtime_panel.hpp"
#include "app/up_down.hpp"
#include "common/error.hpp"
#include "common/local_time.hpp"
#include "common/text_numbers.hpp"
#include "instrument/qt_serial.hpp"
#include "plots/graph_list.hpp"
#include "plots/qt_plot_prompts.hpp"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <cstdio>
#include <cstdlib>

namespace vantrel {

namespace {

// Paths go to the core in the system's file name encoding.
std::string to_path(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

QString from_path(const std::string& path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

std::string text_of(const QLineEdit* edit)
{
    return edit->text().toStdString();
}

double leading_number(const QLineEdit* edit)
{
    return text::leading_double(text_of(edit));
}

const char* const no_records_in_capture =
    "Unable to read binary file.  Do you have the right devfile specified?";

// The readers' status lines go to five labels of the acquisition panel.
class label_status_helper : public ACR_Helper {
public:
    explicit label_status_helper(const TFr_RealTime& panel)
        : progress(panel.L_Progress), serial(panel.L_Serial), internal_temp(panel.L_InternalTemp),
          external_temp(panel.L_ExternalTemp), time_stamp(panel.L_TimeStamp)
    {
    }
    void show_progress(const std::string& text) override { put(progress, text); }
    void show_internal_temp(const std::string& text) override { put(internal_temp, text); }
    void show_external_temp(const std::string& text) override { put(external_temp, text); }
    void show_serial(const std::string& text) override { put(serial, text); }
    void show_time_stamp(const std::string& text) override { put(time_stamp, text); }

private:
    static void put(QLabel* label, const std::string& text)
    {
        if (label != nullptr)
            label->setText(QString::fromStdString(text));
    }
    QPointer<QLabel> progress, serial, internal_temp, external_temp, time_stamp;
};

void end_now(int code)
{
    std::fflush(nullptr);
    std::_Exit(code);
}

} // namespace

TF_Main::TF_Main(window_prompts& prompts_, main_window_services services_, QWidget* parent)
    : QMainWindow(parent), prompts(prompts_), services(std::move(services_))
{
    if (!services.make_settings)
        services.make_settings = [] { return make_qt_settings(); };
    if (!services.make_port)
        services.make_port = qt_serial_factory();
    if (!services.now)
        services.now = [] { return std::time(nullptr); };
    if (!services.end_process)
        services.end_process = end_now;
    if (services.plot_questions == nullptr) {
        own_plot_questions = std::make_unique<qt_plot_prompts>(this);
        services.plot_questions = own_plot_questions.get();
    }

    setObjectName(QStringLiteral("F_Main"));
    setWindowTitle(program_title());
    resize(970, 656);
    SaveDialog1.overwrite_prompt = true;

    build_actions();
    build_layout();
    build_menus();
    connect_panels();

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(100);
    // Queued, so that the poll goes on while a question asked from a tick is
    // open: a timer never fires again inside its own timeout handler.
    connect(Timer1, &QTimer::timeout, this, &TF_Main::Timer1Timer, Qt::QueuedConnection);
    Timer2 = new QTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer2->setInterval(1000);
    connect(Timer2, &QTimer::timeout, this, [this] { run([this] { Timer2Timer(); }); });
    Timer2->start();

    // The other windows of the program, in the order they are made at start-up.
    F_LoadCTD = new TF_LoadCTD(prompts, this);
    F_ContSaving = new TF_ContSaving(this);
    F_FacCalQuery = new TF_FacCalQuery(prompts, this);
    AboutBox1 = new TAboutBox1(this);
    F_TimeShift = new TF_TimeShift(this);
    Form1 = new TForm1(this);
}

TF_Main::~TF_Main() = default;

// ---------------------------------------------------------------- building

QAction* TF_Main::make_action(const char* name, const QString& caption, const QKeySequence& shortcut,
                              bool enabled)
{
    auto* a = new QAction(caption, this);
    a->setObjectName(QString::fromLatin1(name));
    a->setShortcut(shortcut);
    a->setShortcutContext(Qt::WindowShortcut);
    a->setEnabled(enabled);
    // Part of the window, so that its shortcut works without a menu entry.
    addAction(a);
    return a;
}

// A menu entry that runs an action, with a caption of its own, and follows
// the action's enabled state.
QAction* TF_Main::menu_item(QMenu* menu, const char* name, const QString& caption, QAction* action)
{
    QString text = caption;
    if (!action->shortcut().isEmpty())
        text += QLatin1Char('\t') + action->shortcut().toString(QKeySequence::NativeText);
    QAction* item = menu->addAction(text);
    item->setObjectName(QString::fromLatin1(name));
    item->setEnabled(action->isEnabled());
    connect(action, &QAction::changed, item, [item, action] { item->setEnabled(action->isEnabled()); });
    connect(item, &QAction::triggered, action, [action] { action->trigger(); });
    return item;
}

void TF_Main::bind_button(QAbstractButton* button, QAction* action)
{
    button->setEnabled(action->isEnabled());
    connect(action, &QAction::changed, button, [button, action] { button->setEnabled(action->isEnabled()); });
    connect(button, &QAbstractButton::clicked, action, [action] { action->trigger(); });
}

void TF_Main::build_actions()
{
    A_Start = make_action("A_Start", QStringLiteral("Start"), Qt::Key_F1, true);
    A_Stop = make_action("A_Stop", QStringLiteral("Stop"), Qt::Key_F2, false);
    A_LoadBinary = make_action("A_LoadBinary", QStringLiteral("Open Binary File"), {}, true);
    A_SaveBinary = make_action("A_SaveBinary", QStringLiteral("Save Binary"), {}, false);
    A_LoadCTD = make_action("A_LoadCTD", QStringLiteral("Load CTD Data"), {}, false);
    A_Time = make_action("A_Time", QStringLiteral("Plot Time"), {}, true);
    A_Spectra = make_action("A_Spectra", QStringLiteral("Plot Spectra"), {}, true);
    A_Depth = make_action("A_Depth", QStringLiteral("Plot Depth"), {}, false);
    A_ReferenceSpectra =
        make_action("A_ReferenceSpectra", QStringLiteral("Plot Reference Spectra"), {}, false);
    A_STD = make_action("A_STD", QStringLiteral("Plot Standard Deviation"), {}, true);
    A_SaveFromDevice =
        make_action("A_SaveFromDevice", QStringLiteral("Save Raw Data From Device"), {}, false);
    A_SaveWCorrections = make_action("A_SaveWCorrections", QStringLiteral("Save w/Corrections"), {}, true);

    const auto on = [this](QAction* a, void (TF_Main::*handler)()) {
        connect(a, &QAction::triggered, this,
                [this, handler] { run([this, handler] { (this->*handler)(); }); });
    };
    on(A_Start, &TF_Main::B_StartClick);
    on(A_Stop, &TF_Main::B_StopClick);
    on(A_SaveBinary, &TF_Main::A_SaveBinaryClick);
    on(A_LoadCTD, &TF_Main::B_OpenCTDClick);
    on(A_Time, &TF_Main::A_GTimeClick);
    on(A_Spectra, &TF_Main::A_GSpectralClick);
    on(A_Depth, &TF_Main::A_GDepthClick);
    on(A_SaveFromDevice, &TF_Main::A_SaveFromDeviceExecute);
    on(A_SaveWCorrections, &TF_Main::A_SaveWCorrectionsExecute);
}

void TF_Main::build_menus()
{
    const auto on = [this](QAction* a, void (TF_Main::*handler)()) {
        connect(a, &QAction::triggered, this,
                [this, handler] { run([this, handler] { (this->*handler)(); }); });
    };
    const auto named_menu = [this](const char* name, const QString& title) {
        QMenu* m = menuBar()->addMenu(title);
        m->setObjectName(QString::fromLatin1(name));
        return m;
    };

    M_File = named_menu("M_File", QStringLiteral("&File"));
    FileOpen1 = M_File->addAction(QStringLiteral("&Open ac File For Post Processing"));
    FileOpen1->setObjectName(QStringLiteral("FileOpen1"));
    FileOpen1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    on(FileOpen1, &TF_Main::FileOpen1Execute);
    menu_item(M_File, "M_LoadCTD", A_LoadCTD->text(), A_LoadCTD);
    M_OpenBinary = M_File->addAction(QStringLiteral("Open &Binary File For Post Processing"));
    M_OpenBinary->setObjectName(QStringLiteral("M_OpenBinary"));
    on(M_OpenBinary, &TF_Main::M_OpenBinaryClick);
    M_File->addSeparator();
    menu_item(M_File, "M_Start", QStringLiteral("Start Acquisition"), A_Start);
    menu_item(M_File, "M_Stop", QStringLiteral("Stop Acquisition and Save"), A_Stop);
    M_File->addSeparator();
    menu_item(M_File, "M_SaveBinary", QStringLiteral("Save Raw Binary From Device"), A_SaveBinary);
    menu_item(M_File, "M_SaveFromDevice", QStringLiteral("Save Raw Data From Device"), A_SaveFromDevice);
    menu_item(M_File, "M_SaveWCorrections", QStringLiteral("Save With Corrected Data From Device"),
              A_SaveWCorrections)
        ->setVisible(false);
    M_File->addSeparator();
    M_Exit = M_File->addAction(QStringLiteral("Exit"));
    M_Exit->setObjectName(QStringLiteral("M_Exit"));
    M_Exit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_X));
    on(M_Exit, &TF_Main::M_ExitClick);

    M_Options = named_menu("M_Options", QStringLiteral("Options"));
    M_WaterCorrections = M_Options->addAction(QStringLiteral("Show Water Corrections"));
    M_WaterCorrections->setObjectName(QStringLiteral("M_WaterCorrections"));
    M_WaterCorrections->setCheckable(true);
    on(M_WaterCorrections, &TF_Main::M_WaterCorrectionsClick);
    M_AutoTemp = M_Options->addAction(QStringLiteral("Automatically update temperature"));
    M_AutoTemp->setObjectName(QStringLiteral("M_AutoTemp"));
    M_AutoTemp->setCheckable(true);
    M_AutoTemp->setVisible(false);
    on(M_AutoTemp, &TF_Main::M_AutoTempClick);
    M_Pellion = M_Options->addAction(QStringLiteral("Pellion Mode"));
    M_Pellion->setObjectName(QStringLiteral("M_Pellion"));
    M_Pellion->setCheckable(true);
    M_Pellion->setVisible(false);
    on(M_Pellion, &TF_Main::M_PellionClick);

    M_Graphs = named_menu("M_Graphs", QStringLiteral("Graphs"));
    menu_item(M_Graphs, "M_PlotTime", A_Time->text(), A_Time);
    menu_item(M_Graphs, "M_PlotDepth", A_Depth->text(), A_Depth);
    menu_item(M_Graphs, "M_PlotSpectrum", QStringLiteral("Plot Spectrum"), A_Spectra);
    M_Graphs->addSeparator();
    menu_item(M_Graphs, "M_ReferenceSpectra", QStringLiteral("Plot Reference Spectra (eqa only)"),
              A_ReferenceSpectra)
        ->setVisible(false);
    menu_item(M_Graphs, "M_STD", A_STD->text(), A_STD)->setVisible(false);

    M_About = named_menu("M_About", QStringLiteral("About"));
    AboutVantrel1 = M_About->addAction(QStringLiteral("About Vantrel"));
    AboutVantrel1->setObjectName(QStringLiteral("AboutVantrel1"));
    on(AboutVantrel1, &TF_Main::AboutVantrel1Click);
}

void TF_Main::build_layout()
{
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("Panel_Main"));
    setCentralWidget(central);

    // Left: the two pages and the three plot buttons.
    auto* left = new QFrame(central);
    left->setObjectName(QStringLiteral("Panel_Left"));
    left->setMinimumWidth(330);
    PageControl1 = new QTabWidget(left);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    Fr_RealTime = new TFr_RealTime(PageControl1);
    Fr_PostProcess = new TFr_PostProcess(PageControl1);
    PageControl1->addTab(Fr_RealTime, QStringLiteral("Data Acquisition"));
    PageControl1->addTab(Fr_PostProcess, QStringLiteral("Post Processing"));
    B_PlotTime = new QPushButton(QStringLiteral("Plot Time"), left);
    B_PlotTime->setObjectName(QStringLiteral("B_PlotTime"));
    B_PlotDepth = new QPushButton(QStringLiteral("Plot Depth"), left);
    B_PlotDepth->setObjectName(QStringLiteral("B_PlotDepth"));
    B_PlotSpectrum = new QPushButton(QStringLiteral("Plot Spectrum"), left);
    B_PlotSpectrum->setObjectName(QStringLiteral("B_PlotSpectrum"));
    auto* plot_buttons = new QHBoxLayout;
    plot_buttons->addWidget(B_PlotTime);
    plot_buttons->addWidget(B_PlotDepth);
    plot_buttons->addWidget(B_PlotSpectrum);
    auto* left_layout = new QVBoxLayout(left);
    left_layout->setContentsMargins(4, 4, 4, 4);
    left_layout->addWidget(PageControl1, 1);
    left_layout->addLayout(plot_buttons);

    // Right: the two built-in plots, one above the other.
    Splitter2 = new QSplitter(Qt::Vertical, central);
    Splitter2->setObjectName(QStringLiteral("Splitter2"));
    Panel_Graph1 = new QFrame(Splitter2);
    Panel_Graph1->setObjectName(QStringLiteral("Panel_Graph1"));
    Panel_Graph2 = new QFrame(Splitter2);
    Panel_Graph2->setObjectName(QStringLiteral("Panel_Graph2"));
    for (QFrame* p : {Panel_Graph1, Panel_Graph2}) {
        auto* l = new QVBoxLayout(p);
        l->setContentsMargins(0, 0, 0, 0);
    }
    Splitter2->addWidget(Panel_Graph1);
    Splitter2->addWidget(Panel_Graph2);
    Splitter2->setSizes({346, 656 - 346});

    Splitter1 = new QSplitter(Qt::Horizontal, central);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->addWidget(left);
    Splitter1->addWidget(Splitter2);
    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({330, 970 - 330});
    Splitter1->setChildrenCollapsible(false);

    auto* layout = new QHBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Splitter1);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setFixedHeight(2);
    StatusBar1->setSizeGripEnabled(false);
    setStatusBar(StatusBar1);
}

void TF_Main::connect_panels()
{
    const auto cmd = [this](void (TF_Main::*handler)()) {
        return [this, handler] { run([this, handler] { (this->*handler)(); }); };
    };
    TFr_RealTime* rt = Fr_RealTime;
    TFr_PostProcess* pp = Fr_PostProcess;

    bind_button(rt->B_Start, A_Start);
    bind_button(rt->B_Stop, A_Stop);
    bind_button(rt->B_SaveWCorrections, A_SaveWCorrections);
    bind_button(pp->B_LoadCTD, A_LoadCTD);
    bind_button(B_PlotDepth, A_Depth);
    connect(B_PlotTime, &QPushButton::clicked, this, cmd(&TF_Main::A_GTimeClick));
    connect(B_PlotSpectrum, &QPushButton::clicked, this, cmd(&TF_Main::A_GSpectralClick));
    connect(PageControl1, &QTabWidget::currentChanged, this,
            [this](int index) { run([this, index] { PageControl1Change(index); }); });

    // Acquisition panel.
    connect(rt->B_Device, &QPushButton::clicked, this, cmd(&TF_Main::B_DeviceClick));
    connect(rt->UD_Port, &up_down::clicked, this, cmd(&TF_Main::UD_PortClick));
    connect(rt->PD_PortName, &QComboBox::activated, this, cmd(&TF_Main::PD_PortNameChange));
    connect(rt->PD_PortName->lineEdit(), &QLineEdit::editingFinished, this, cmd(&TF_Main::PD_PortNameChange));
    for (QCheckBox* box : {rt->CB_Temp, rt->CB_Saln, rt->CB_ScatCorr})
        connect(box, &QCheckBox::toggled, this, cmd(&TF_Main::ApplyPanelSettings));
    connect(rt->PD_ScatType, &QComboBox::activated, this, cmd(&TF_Main::ApplyPanelSettings));
    for (QLineEdit* edit : {rt->E_Temp, rt->E_Saln})
        connect(edit, &QLineEdit::textChanged, this, cmd(&TF_Main::ApplyPanelSettings));

    // Post-processing panel.
    connect(pp->B_OpenIXO, &QPushButton::clicked, this, cmd(&TF_Main::B_OpenIXOClick));
    connect(pp->B_LoadWater, &QPushButton::clicked, this, cmd(&TF_Main::B_LoadWaterClick));
    connect(pp->B_Save, &QPushButton::clicked, this, cmd(&TF_Main::B_SavePostClick));
    for (QCheckBox* box : {pp->CB_Temp, pp->CB_Saln, pp->CB_ScatCorr, pp->CB_Water})
        connect(box, &QCheckBox::toggled, this, cmd(&TF_Main::ApplyPanelSettings));
    connect(pp->PD_ScatType, &QComboBox::activated, this, cmd(&TF_Main::ApplyPanelSettings));
    connect(pp->PD_Temp, &QComboBox::activated, this, cmd(&TF_Main::PD_TempClick));
    connect(pp->PD_Saln, &QComboBox::activated, this, cmd(&TF_Main::PD_SalnClick));
    for (QLineEdit* edit : {pp->E_Temp, pp->E_Saln})
        connect(edit, &QLineEdit::textChanged, this, cmd(&TF_Main::ApplyPanelSettings));

    // The reference wavelength steps and Enter work the same on both pages,
    // each on the box of the page shown.
    for (up_down* arrows : {rt->UpDown1, pp->UpDown1})
        connect(arrows, &up_down::clicked, this, [this](bool up) {
            run([this, up] {
                if (Acquisition)
                    Acquisition->UpDown1Click(up);
            });
        });
    for (QLineEdit* edit : {rt->E_ScatWL, pp->E_ScatWL})
        connect(edit, &QLineEdit::returnPressed, this, [this] {
            run([this] {
                if (Acquisition)
                    Acquisition->E_ScatWLEnter();
            });
        });
}

// ---------------------------------------------------------------- errors

void TF_Main::run(const std::function<void()>& command)
{
    try {
        command();
    } catch (const std::exception& e) {
        report_general_error(QString::fromUtf8(e.what()));
    } catch (...) {
        report_general_error(QStringLiteral("Unable to catch exception"));
    }
}

void TF_Main::report(const QString& text, const QString& caption)
{
    prompts.message(this, text, caption.isEmpty() ? program_title() : caption, false);
}

void TF_Main::report_general_error(const QString& text)
{
    report(text, program_title());
}

IXO_Data& TF_Main::data_set()
{
    return *Acquisition->DataSet;
}

std::time_t TF_Main::now() const
{
    return services.now();
}

// ---------------------------------------------------------------- activation and closing

void TF_Main::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    FormActivate();
}

void TF_Main::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        FormActivate();
}

void TF_Main::FormActivate()
{
    if (activated)
        return;
    activated = true;

    Settings = std::make_unique<reg>(services.make_settings());
    Acquisition = std::make_unique<acquisition_control>(*this, *Settings, services.make_port, services.now);
    Acquisition->DataLoaded = false;
    F_LoadCTD->set_settings(Settings.get());

    Fr_RealTime->PD_ScatType->setCurrentIndex(1);
    Fr_PostProcess->PD_Temp->setCurrentIndex(0);
    Fr_PostProcess->PD_Saln->setCurrentIndex(0);

    Settings->load();

    show_page(Settings->tab_index == 1 ? 1 : 0);
    Fr_RealTime->UD_Port->set_position(Settings->commport);
    Fr_RealTime->E_Device->setText(from_path(Settings->devfile));
    Fr_RealTime->PD_PortName->setEditText(from_path(Settings->commport_name));
    M_AutoTemp->setChecked(Settings->autotemp != 0);

    // A spectral plot above, a time plot below, the hidden "Selected Data"
    // window, every frame out of live mode.
    Graphs = std::make_unique<graph_list>(services.plot_questions, this);
    Graphs->create_builtin_graphs(Panel_Graph1, Panel_Graph2);
}

void TF_Main::closeEvent(QCloseEvent* event)
{
    if (M_Pellion->isChecked()) {
        event->ignore();
        return;
    }
    event->accept();
    Q_EMIT closed();
}

void TF_Main::M_ExitClick()
{
    // Records already appended to a continuous file stay in it.
    if (Acquisition)
        data_set().save_stream.flush();
    Q_EMIT program_ending();
    services.end_process(0);
}

void TF_Main::M_PellionClick() {}

void TF_Main::M_AutoTempClick()
{
    Settings->autotemp = M_AutoTemp->isChecked() ? 1 : 0;
    Settings->save();
}

void TF_Main::AboutVantrel1Click()
{
    prompts.run_modal(*AboutBox1);
}

void TF_Main::show_page(int index)
{
    page_changed_by_program = true;
    PageControl1->setCurrentIndex(index);
    page_changed_by_program = false;
}

void TF_Main::PageControl1Change(int index)
{
    if (page_changed_by_program || !Settings)
        return;
    Settings->tab_index = index;
    Settings->save();
}

// ---------------------------------------------------------------- post-processing

void TF_Main::FileOpen1Execute()
{
    show_page(1);
    B_OpenIXOClick();
}

void TF_Main::B_OpenIXOClick()
{
    OpenDialog1.title = QStringLiteral("Open ac file");
    const std::optional<QString> chosen = prompts.open_file(this, OpenDialog1);
    if (!chosen)
        return;
    load_data_file(*chosen);
}

void TF_Main::load_data_file(const QString& path)
{
    acquisition_control& acq = *Acquisition;
    acq.DataSet = std::make_unique<IXO_Data>();
    const auto failed = [&](const QString& text, const QString& caption) {
        acq.DataLoaded = false;
        // A half-read file is not left for the corrections and plots to work on.
        acq.DataSet = std::make_unique<IXO_Data>();
        frames_set_data_set(acq.DataSet.get());
        report(text, caption);
    };
    try {
        acq.DataSet->load_file(to_path(path), false);
    } catch (const error& e) {
        failed(QString::fromUtf8(e.what()), QStringLiteral("Error Opening File"));
        return;
    } catch (const std::exception& e) {
        failed(QString::fromUtf8(e.what()), QStringLiteral("Exception"));
        return;
    } catch (...) {
        failed(QStringLiteral("Unable to catch exception"), QStringLiteral("Unknown error occured"));
        return;
    }

    IXO_Data& ds = data_set();
    acq.DataLoaded = true;
    TFr_PostProcess* pp = Fr_PostProcess;
    pp->E_IXOFile->setText(path);
    ds.temp_source = 1;
    ds.saln_source = 1;
    ds.apply_water = ds.apply_temp = ds.apply_saln = ds.apply_scat = false;

    frames_set_data_set(&ds);
    frames_set_live_mode(false);

    A_SaveFromDevice->setEnabled(false);
    A_Depth->setEnabled(false);
    setWindowTitle(path);
    A_SaveBinary->setEnabled(false);
    pp->E_CTDFile->clear();
    pp->PD_Saln->setCurrentIndex(0);
    pp->PD_Temp->setCurrentIndex(0);
    pp->E_Temp->show();
    pp->E_Saln->show();
    A_LoadCTD->setEnabled(true);
    A_ReferenceSpectra->setEnabled(false);
    pp->B_LoadWater->setEnabled(true);
    pp->CB_Water->setChecked(false);
    pp->CB_Water->hide();
    pp->E_Water->clear();
    pp->L_WaterTemp->clear();

    ApplyPanelSettings();
}

void TF_Main::B_OpenCTDClick()
{
    OpenDialog1.title = QStringLiteral("Open CTD file");
    const std::optional<QString> chosen = prompts.open_file(this, OpenDialog1);
    if (!chosen)
        return;

    F_LoadCTD->file_name = *chosen;
    try {
        F_LoadCTD->FormShow();
    } catch (const error& e) {
        report(QString::fromUtf8(e.what()), QStringLiteral("Error opening file"));
        return;
    } catch (...) {
        report(QStringLiteral("Internal Error.  0x0015."), QStringLiteral("Error opening window."));
        return;
    }
    if (prompts.run_modal(*F_LoadCTD) != QDialog::Accepted)
        return;

    IXO_Data& ds = data_set();
    try {
        ds.ctd_file_data.read_file(to_path(*chosen), Settings->ctd_time, Settings->ctd_temp,
                                   Settings->ctd_saln, Settings->ctd_pres);
    } catch (const error& e) {
        report(QString::fromUtf8(e.what()), QString());
    }

    TFr_PostProcess* pp = Fr_PostProcess;
    pp->E_CTDFile->setText(*chosen);
    // With no CTD row there is nothing to merge; the error says so and the
    // sources stay as they were.
    ds.merge_ctd();

    const QStringList sources = {QStringLiteral("Constant"), QStringLiteral("CTD File")};
    for (QComboBox* list : {pp->PD_Temp, pp->PD_Saln}) {
        list->clear();
        list->addItems(sources);
        list->setCurrentIndex(1);
    }
    pp->E_Temp->hide();
    pp->E_Saln->hide();
    pp->CB_Temp->setChecked(true);
    pp->CB_Saln->setChecked(true);
    A_Depth->setEnabled(true);

    ApplyPanelSettings();
}

void TF_Main::PD_TempClick()
{
    Fr_PostProcess->E_Temp->setVisible(Fr_PostProcess->PD_Temp->currentIndex() != 1);
    ApplyPanelSettings();
}

void TF_Main::PD_SalnClick()
{
    Fr_PostProcess->E_Saln->setVisible(Fr_PostProcess->PD_Saln->currentIndex() != 1);
    ApplyPanelSettings();
}

void TF_Main::B_LoadWaterClick()
{
    OpenDialog1.title = QStringLiteral("Open Water Blank");
    OpenDialog1.filter = QStringLiteral("Water Calibration Files|*.wcf|All Files|*.*");
    const std::optional<QString> chosen = prompts.open_file(this, OpenDialog1);
    OpenDialog1.filter = QStringLiteral("All Files|*.*");
    if (!chosen)
        return;

    IXO_Data& ds = data_set();
    try {
        ds.load_file(to_path(*chosen), true);
    } catch (const error& e) {
        report(QString::fromUtf8(e.what()), QStringLiteral("Error loading file"));
        return;
    }

    TFr_PostProcess* pp = Fr_PostProcess;
    char text[96];
    std::snprintf(text, sizeof text, "Water Calibration Temperature: %.1f", ds.water_cal_temp);
    pp->L_WaterTemp->setText(QString::fromLatin1(text));
    pp->L_WaterTemp->show();
    pp->E_Water->setText(*chosen);
    pp->CB_Water->show();
    if (pp->CB_Water->isChecked())
        ApplyPanelSettings(); // a new blank replaces one already applied: draw with it
    else
        pp->CB_Water->setChecked(true);
}

void TF_Main::M_WaterCorrectionsClick()
{
    Fr_PostProcess->Panel_Water->setVisible(M_WaterCorrections->isChecked());
}

void TF_Main::B_SavePostClick()
{
    IXO_Data& ds = data_set();
    const std::string& name = ds.data_file;
    const std::tm t = local_tm(now());
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "_corrected_%u%02u%02u%02u%02u%02u.dat",
                  static_cast<unsigned>(t.tm_year + 1900), static_cast<unsigned>(t.tm_mon + 1),
                  static_cast<unsigned>(t.tm_mday), static_cast<unsigned>(t.tm_hour),
                  static_cast<unsigned>(t.tm_min + 1), static_cast<unsigned>(t.tm_sec + 1));
    SaveDialog1.file_name = from_path(name.substr(0, name.size() >= 4 ? name.size() - 4 : 0) + stamp);
    const std::optional<QString> chosen = prompts.save_file(this, SaveDialog1);
    if (!chosen)
        return;
    ds.save_processed(to_path(*chosen), true);
}

void TF_Main::ApplyPanelSettings()
{
    if (Acquisition)
        Acquisition->ApplyPanelSettings();
}

void TF_Main::apply_post_processing_settings()
{
    IXO_Data& ds = data_set();
    if (ds.records.empty())
        return;
    TFr_PostProcess* pp = Fr_PostProcess;
    ds.apply_temp = pp->CB_Temp->isChecked();
    ds.apply_saln = pp->CB_Saln->isChecked();
    ds.const_temp = leading_number(pp->E_Temp);
    ds.const_saln = leading_number(pp->E_Saln);
    ds.apply_scat = pp->CB_ScatCorr->isChecked();
    switch (pp->PD_ScatType->currentIndex()) {
    case 0:
        ds.scat_method = 2; // proportional
        break;
    case 2:
        ds.scat_method = 3; // a fixed proportion of b
        break;
    default:
        ds.scat_method = 1; // baseline
        break;
    }
    ds.apply_water = pp->CB_Water->isChecked();
    const double chosen = ds.set_scat_ref(leading_number(pp->E_ScatWL));
    pp->E_ScatWL->setText(QString::fromStdString(text::general(chosen)));

    // "CTD File" counts only once the CTD data is merged.
    const auto source = [&ds](QComboBox* list, QLineEdit* constant) {
        if (list->currentIndex() == 1 && ds.ctd_merged)
            return 2;
        list->setCurrentIndex(0);
        constant->show();
        return 1;
    };
    ds.temp_source = source(pp->PD_Temp, pp->E_Temp);
    ds.saln_source = source(pp->PD_Saln, pp->E_Saln);
    // The Make Water Cal dialog keeps the panel's scattering choice.
    if (own_plot_questions)
        own_plot_questions->set_scattering(pp->PD_ScatType->currentIndex(), text_of(pp->E_ScatWL));
    frames_redraw();
}

// ---------------------------------------------------------------- graphs

void TF_Main::A_GTimeClick()
{
    Graphs->open_window(graph_kind::time);
}

void TF_Main::A_GSpectralClick()
{
    Graphs->open_window(graph_kind::spectral);
}

void TF_Main::A_GDepthClick()
{
    if (data_set().ctd_merged)
        Graphs->open_window(graph_kind::depth);
}

void TF_Main::frames_set_data_set(IXO_Data* ds)
{
    if (Graphs)
        Graphs->set_data_set(ds);
}

void TF_Main::frames_set_live_mode(bool live)
{
    if (Graphs)
        Graphs->set_live_mode(live);
}

void TF_Main::frames_data_arrived()
{
    if (Graphs)
        Graphs->data_arrived();
}

void TF_Main::frames_redraw()
{
    if (Graphs)
        Graphs->redraw_all();
}

// ---------------------------------------------------------------- acquisition

void TF_Main::B_StartClick()
{
    Acquisition->B_StartClick();
}

void TF_Main::B_StopClick()
{
    Acquisition->B_StopClick();
}

void TF_Main::Timer1Timer()
{
    // A tick queued before a stop finds the timer off.
    if (!Acquisition || !Timer1->isActive())
        return;
    try {
        Acquisition->Timer1Timer();
    } catch (const std::exception& e) {
        // The poll goes on while the report is open; one report at a time.
        if (reporting_tick_error)
            return;
        reporting_tick_error = true;
        report_general_error(QString::fromUtf8(e.what()));
        reporting_tick_error = false;
    }
}

void TF_Main::Timer2Timer()
{
    Fr_RealTime->L_Clock->setText(QString::fromStdString(creation_time_text(now()) + "\n"));
}

void TF_Main::A_SaveFromDeviceExecute()
{
    Acquisition->A_SaveFromDeviceExecute();
}

void TF_Main::A_SaveWCorrectionsExecute()
{
    Acquisition->A_SaveWCorrectionsExecute();
}

void TF_Main::B_DeviceClick()
{
    OpenDialog1.title = QStringLiteral("Choose Device File");
    OpenDialog1.filter = QStringLiteral("Device Files (*.dev)|*.DEV|All Files|*.*");
    const std::optional<QString> chosen = prompts.open_file(this, OpenDialog1);
    OpenDialog1.filter = QStringLiteral("All Files (*.*)|*.*");
    if (!chosen)
        return;
    Fr_RealTime->E_Device->setText(*chosen);
    Settings->devfile = to_path(*chosen);
    Settings->save();
}

void TF_Main::UD_PortClick()
{
    Settings->commport = static_cast<std::int16_t>(Fr_RealTime->UD_Port->position());
    Settings->devfile = text_of(Fr_RealTime->E_Device);
    Settings->save();
}

void TF_Main::PD_PortNameChange()
{
    const std::string name = to_path(Fr_RealTime->PD_PortName->currentText().trimmed());
    if (!Settings || name == Settings->commport_name)
        return;
    Settings->commport_name = name;
    Settings->save();
}

void TF_Main::A_SaveBinaryClick()
{
    if (Acquisition->Reader->records.empty())
        return;
    const std::string& name = data_set().data_file;
    const std::string preset = (name.size() < 3 ? name : name.substr(0, name.size() - 3)) + "bin";
    SaveDialog1.file_name = from_path(preset);
    const std::optional<QString> chosen = prompts.save_file(this, SaveDialog1);
    if (!chosen)
        return;
    Acquisition->Reader->save_raw(to_path(*chosen));
}

void TF_Main::M_OpenBinaryClick()
{
    OpenDialog1.title = QStringLiteral("Open Raw Binary Data");
    OpenDialog1.filter = QStringLiteral("Binary Files|*.bin|All Files|*.*");
    const std::optional<QString> chosen = prompts.open_file(this, OpenDialog1);
    OpenDialog1.filter = QStringLiteral("All Files|*.*");
    if (!chosen)
        return;

    acquisition_control& acq = *Acquisition;
    const std::string device = text_of(Fr_RealTime->E_Device);
    const std::int32_t model = DetectModel(device);
    if (model != model_ixo && model != model_eqa) {
        report(QStringLiteral("Invalid device file"), QStringLiteral("Unable to parse device file"));
        return;
    }
    A_ReferenceSpectra->setEnabled(model == model_eqa);
    try {
        replay_capture(data_set(), acq.Reader, to_path(*chosen), device, acq.trace);
    } catch (const error& e) {
        if (std::string(e.what()) != no_records_in_capture)
            throw; // the device file's own failure
        show_page(0);
        report(QString::fromUtf8(e.what()), QStringLiteral("Unable to collect data from file"));
        return;
    }
    show_page(0);
    acq.DataLoaded = true;
    frames_set_data_set(&data_set());
    frames_set_live_mode(false);
}

// ---------------------------------------------------------------- acquisition_ui

acquisition_panel TF_Main::panel()
{
    const TFr_RealTime* rt = Fr_RealTime;
    acquisition_panel p;
    p.page_shown = PageControl1->currentIndex() == 0;
    p.device_path = text_of(rt->E_Device);
    p.port_number = rt->UD_Port->position();
    p.port_name = to_path(rt->PD_PortName->currentText().trimmed());
    p.temp = rt->CB_Temp->isChecked();
    p.saln = rt->CB_Saln->isChecked();
    p.scat = rt->CB_ScatCorr->isChecked();
    p.temp_text = text_of(rt->E_Temp);
    p.saln_text = text_of(rt->E_Saln);
    p.scat_wl_text = text_of(p.page_shown ? rt->E_ScatWL : Fr_PostProcess->E_ScatWL);
    p.scat_type = rt->PD_ScatType->currentIndex();
    p.auto_temp = M_AutoTemp->isChecked();
    return p;
}

bool TF_Main::ask(const std::string& text, const std::string& caption, bool ok_cancel)
{
    return prompts.message(this, QString::fromStdString(text),
                           caption.empty() ? program_title() : QString::fromStdString(caption), ok_cancel);
}

std::optional<std::string> TF_Main::choose_save_file(const std::string& preset_name)
{
    SaveDialog1.file_name = from_path(preset_name);
    const std::optional<QString> chosen = prompts.save_file(this, SaveDialog1);
    if (!chosen)
        return std::nullopt;
    return to_path(*chosen);
}

fac_cal_answer TF_Main::ask_factory_cal_temp(double& value)
{
    const int result = prompts.run_modal(*F_FacCalQuery);
    if (result == TF_FacCalQuery::accepted_result) {
        value = F_FacCalQuery->temperature;
        return fac_cal_answer::accepted;
    }
    if (result == TF_FacCalQuery::cancelled_result)
        return fac_cal_answer::cancelled;
    return fac_cal_answer::closed;
}

bool TF_Main::ask_continue_saving()
{
    return prompts.run_modal(*F_ContSaving) == QDialog::Accepted;
}

void TF_Main::set_text(acquisition_text which, const std::string& text)
{
    const QString t = QString::fromStdString(text);
    switch (which) {
    case acquisition_text::L_FacCalTemp:
        Fr_RealTime->L_FacCalTemp->setText(t);
        break;
    case acquisition_text::L_Progress:
        Fr_RealTime->L_Progress->setText(t);
        break;
    case acquisition_text::L_SizeOfFile:
        Fr_RealTime->L_SizeOfFile->setText(t);
        break;
    case acquisition_text::E_IXOFile:
        Fr_PostProcess->E_IXOFile->setText(from_path(text));
        break;
    case acquisition_text::E_Temp:
        Fr_RealTime->E_Temp->setText(t);
        break;
    case acquisition_text::E_ScatWL:
        (PageControl1->currentIndex() == 0 ? Fr_RealTime->E_ScatWL : Fr_PostProcess->E_ScatWL)->setText(t);
        break;
    }
}

void TF_Main::set_caption(const std::string& caption)
{
    setWindowTitle(from_path(caption));
}

void TF_Main::set_acquiring(bool acquiring)
{
    const bool idle = !acquiring;
    A_Start->setEnabled(idle);
    A_Stop->setEnabled(acquiring);
    TFr_RealTime* rt = Fr_RealTime;
    for (QWidget* w :
         std::initializer_list<QWidget*>{rt->B_Device, rt->UD_Port, rt->E_CommPort, rt->PD_PortName})
        w->setEnabled(idle);
    PageControl1->setTabEnabled(1, idle);
    Fr_PostProcess->B_OpenIXO->setEnabled(idle);
    Fr_PostProcess->B_Save->setEnabled(idle);
    FileOpen1->setEnabled(idle);
    M_OpenBinary->setEnabled(idle);
    A_LoadCTD->setEnabled(idle);
    if (idle)
        Fr_PostProcess->B_LoadWater->setEnabled(true);
    A_SaveWCorrections->setEnabled(idle);
    if (acquiring) {
        A_SaveBinary->setEnabled(true);
        A_SaveFromDevice->setEnabled(true);
    }
}

void TF_Main::set_reference_spectra_enabled(bool enabled)
{
    A_ReferenceSpectra->setEnabled(enabled);
}

void TF_Main::set_poll_timer(bool running)
{
    if (running)
        Timer1->start();
    else
        Timer1->stop();
}

std::unique_ptr<ACR_Helper> TF_Main::make_status_helper()
{
    return std::make_unique<label_status_helper>(*Fr_RealTime);
}

} // namespace vantrel
