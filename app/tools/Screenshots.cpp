// merivox-screenshots <folder>: renders every window of the program to a PNG
// file, on whatever platform Qt runs (scripts/screenshots uses offscreen), so
// the windows can be looked at without a desktop. Settings and the error
// report go to a temporary folder; the user's own are not touched.
#include <QApplication>
#include <QDir>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QLineEdit>
#include <QMessageBox>
#include <QTabBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <tuple>

#include "shell/CCommandArgs.h"
#include "shell/CMRU.h"
#include "shell/MDIMain.h"
#include "shell/ProgramInfo.h"
#include "forms/frmAbout.h"
#include "forms/frmDataGrid.h"
#include "dao/Dao.h"
#include "forms/frmErrorHandler.h"
#include "forms/frmGenerateCode.h"
#include "forms/frmHelp.h"
#include "forms/frmOptions.h"
#include "forms/frmQuarn_Calculator.h"
#include "forms/frmSplash.h"
#include "forms/frmDuplicate.h"
#include "forms/frmStatMain.h"
#include "forms/frmStatus.h"
#include "CurrentDatabase.h"
#include "ExampleDatabase.h"
#include "shell/modMerivox.h"
#include "services/Glyphs.h"
#include "ui/RecordingUi.h"
#include "vb/App.h"
#include "wizard/CZantelsPropWiz.h"
#include "wizard/frmQuarn_Create.h"
#include "wizard/frmIgnore.h"
#include "wizard/frmQuarn_Fields.h"
#include "wizard/frmQuarn_Finish.h"
#include "wizard/frmQuarn_Options.h"
#include "wizard/frmQuarn_SelectTable.h"

namespace {

QString g_folder;
int g_failures = 0;

void Save(QWidget* w, const QString& name) {
    w->show();
    QApplication::processEvents();
    QString path = g_folder + "/" + name + ".png";
    if (!w->grab().save(path)) {
        std::fprintf(stderr, "could not write %s\n", qPrintable(path));
        ++g_failures;
        return;
    }
    std::printf("%s\n", qPrintable(path));
}

// What the pictures share: the frame window, and the scratch folder the
// databases they show are made in.
struct Scene {
    MDIMain* frame = nullptr;
    QString scratch;
};

void Splash(Scene&) {
    frmSplash splash;
    splash.Load();
    Save(&splash, "frmSplash");
}

// The frame as its load leaves it, with the open-database dialog that the
// load shows pictured and then cancelled; the menus opened as a user opens them.
void Frame(Scene& scene) {
    QTimer opener;
    QObject::connect(&opener, &QTimer::timeout, [&opener] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible() || modal->objectName() != "frmOpenDatabase") return;
        opener.stop();
        Save(modal, "frmOpenDatabase");
        if (auto* cancel = modal->findChild<QPushButton*>("cmdCancel")) cancel->click();
    });
    opener.start(20);
    MDIMain* frame = scene.frame = new MDIMain;
    frame->Load();
    frame->MRU().SetMRUList("/home/ann/data/clinic-study.db", CCommandArgs::MRUSwitches("", "", ""));
    frame->MRU().SetMRUList("/home/ann/data/example.db", CCommandArgs::MRUSwitches("", "", ""));
    frame->SetDatabasePath("/home/ann/data/example.db");
    Save(frame, "MDIMain");
    for (const char* name : {"mnufile", "mnuTools", "mnuWindow", "mnuHelp"}) {
        auto* menu = frame->findChild<QMenu*>(name);
        emit menu->aboutToShow();
        menu->popup(frame->mapToGlobal(QPoint(10, 30)));
        Save(menu, QString("MDIMain-") + name);
        menu->hide();
    }
    Save(frame->RightClickMenu(), "MDIMain-mnuRightClick");
    frame->RightClickMenu()->hide();
}

void Options(Scene& scene) {
    frmOptions options(scene.frame);
    Save(&options, "frmOptions");
}

void About(Scene& scene) {
    frmAbout about(scene.frame);
    Save(&about, "frmAbout");
}

// The calculator with an F value worked out, and in the inverse direction.
void Calculator(Scene& scene) {
    auto* calculator = new frmQuarn_Calculator(scene.frame);
    calculator->show();
    calculator->findChild<QRadioButton*>("optProbType_3")->click();
    calculator->findChild<QLineEdit*>("txtTestValue")->setText("3.3258345304");
    calculator->findChild<QLineEdit*>("txtDF1")->setText("5");
    calculator->findChild<QLineEdit*>("txtDF2")->setText("10");
    calculator->findChild<QPushButton*>("cmdCalculate")->click();
    Save(calculator, "frmQuarn_Calculator");
    calculator->findChild<QRadioButton*>("optProbType_1")->click();
    calculator->findChild<QLineEdit*>("txtTestValue")->setText("0.05");
    calculator->findChild<QPushButton*>("cmdInverse")->click();
    Save(calculator, "frmQuarn_Calculator-inverse");
    delete calculator;
}

void GenerateCode(Scene& scene) {
    frmGenerateCode code(scene.frame);
    GenerateCodeInput info;
    info.ScenarioID = "1";
    info.Desc = "Systolic pressure before and after treatment, by clinic, weighted";
    info.Table = "BloodPressureStudy";
    info.OutputTable1 = "Brux_BP_Describe";
    info.DatabasePath = "/home/ann/data/example.db";
    code.ScenarioInfo(info);
    Save(&code, "frmGenerateCode");
    code.findChild<QRadioButton*>("optCodeStyle_1")->click();
    code.findChild<QRadioButton*>("optDefaults_1")->click();
    code.findChild<QRadioButton*>("optDBMethod_1")->click();
    Save(&code, "frmGenerateCode-arguments");
}

void ErrorHandler(Scene& scene) {
    frmErrorHandler error(scene.frame);
    error.AppName(program::kAppTitle);
    error.ErrHelpContextID(1);
    error.ErrorFile(program::ErrorLogPath());
    error.ErrorString("Division by zero");
    Save(&error, "frmErrorHandler");
}

void Help(Scene&) {
    frmHelp::ShowHelp(program::HelpFilePath(), 10);
    Save(frmHelp::Instance(), "frmHelp");
    frmHelp::CloseHelp();
}

// The scenario wizard's first and last pages, as New shows them.
void WizardEnds(Scene& scene) {
    CZantelsPropWiz wiz;
    wiz.SetNewScenario("G", "Two Sample t-Test");
    frmQuarn_Create create(scene.frame);
    create.Wiz(&wiz);
    Save(&create, "frmQuarn_Create");
    wiz.GroupDetail(true);
    wiz.Scenario_Description("Systolic pressure after treatment, drug against placebo");
    frmQuarn_Finish finish(scene.frame);
    finish.Wiz(&wiz);
    Save(&finish, "frmQuarn_Finish");
    CZantelsPropWiz describe;
    describe.SetNewScenario("P", "Describe");
    frmQuarn_Finish single(scene.frame);
    single.Wiz(&describe);
    Save(&single, "frmQuarn_Finish-Describe");
}

// The option page of every analysis, as a new scenario of it shows them.
void OptionPages(Scene& scene) {
    for (const store::AnalysisDef& analysis : store::Analyses()) {
        CZantelsPropWiz options;
        options.SetNewScenario(std::string(analysis.family), std::string(analysis.subType));
        std::unique_ptr<COptionPage> page(wizard::CreateOptionPage(options.GetOptionsPage(), scene.frame));
        if (!page) continue;
        page->Wiz(&options);
        const QString name = page->objectName();
        if (QFile::exists(g_folder + "/" + name + ".png")) continue;  // the three group analyses share one
        Save(page.get(), name);
    }
}

// How the program's message boxes look (the real ones come from the UI services).
void MessageBoxLook(Scene& scene) {
    QMessageBox box(QMessageBox::Question, "Initialize Database",
                    "This is the first time you have opened this database for use with Quantara.\n\n"
                    "Would you like to add the Quantara scenario tables to this database?",
                    QMessageBox::Yes | QMessageBox::No, scene.frame);
    Save(&box, "MsgBox");
}

// The scenario list on its first and non-parametric tabs, the run's status
// and the duplicate dialog.
void ListAndDialogs(MDIMain* frame) {
    frame->ShowStatMain();
    frmStatMain* list = frame->StatMain();
    Save(frame, "frmStatMain");
    if (list) {
        list->findChild<QTabBar*>("tabMain")->setCurrentIndex(2);
        Save(frame, "frmStatMain-NonParametric");
        list->findChild<QTabBar*>("tabMain")->setCurrentIndex(0);
    }
    {
        frmStatus status(frame);
        status.Print("Analyzing record: 1250");
        status.Show();
        Save(&status, "frmStatus");
        status.hide();
    }
    frmDuplicate duplicate(frame);
    duplicate.ScenarioID(2);
    Save(&duplicate, "frmDuplicate");
}

// The wizard's source and field roles pages as Edit shows them for the
// regression scenario, the role lists of the analyses whose field pages
// differ most, and the values-to-ignore dialog.
void WizardPages(MDIMain* frame) {
    CZantelsPropWiz regression;
    regression.SetNewScenario("P", "Regression");
    regression.Scenario_ID(2);
    regression.Table("BloodPressureStudy");
    regression.Scenario_Description("Cholesterol by age and weight");
    frmQuarn_SelectTable select(frame);
    select.Wiz(&regression);
    select.findChild<QTabBar*>("tabSource")->setCurrentIndex(2);
    Save(&select, "frmQuarn_SelectTable");
    frmQuarn_Fields fields(frame);
    fields.Wiz(&regression);
    Save(&fields, "frmQuarn_Fields");
    for (const auto& [family, analysis, picture] : {std::tuple{"P", "Crosstab", "frmQuarn_Fields-Crosstab"},
                                                    std::tuple{"G", "Two way ANOVA", "frmQuarn_Fields-TwoWayAnova"}}) {
        CZantelsPropWiz other;
        other.SetNewScenario(family, analysis);
        other.Table("BloodPressureStudy");
        frmQuarn_Fields otherFields(frame);
        otherFields.Wiz(&other);
        Save(&otherFields, picture);
    }
    regression.MissingType("2");
    regression.MissingLow(vb::Variant(std::string("0")));
    regression.MissingHigh(vb::Variant(std::string("999")));
    frmIgnore ignore(frame);
    ignore.Wiz(&regression);
    Save(&ignore, "frmIgnore");
}

// The windows that show a scenario of the example database, opened for them
// and closed after.
void ScenarioWindows(Scene& scene) {
    MDIMain* frame = scene.frame;
    const std::string path = (scene.scratch + "/example.db").toStdString();
    example::BuildExampleDatabase(path);
    dao::WorkspacePtr workspace = dao::DBEngine().Workspaces(0);
    dao::DatabasePtr db = workspace->OpenDatabase(path);
    store::SetCurrentDatabase(workspace, db);
    ListAndDialogs(frame);
    WizardPages(frame);
    frame->CloseStatMain();
    QApplication::processEvents();
    store::ClearCurrentDatabase();
    db->Close();
}

// A table in the data grid.
void DataGrid(Scene& scene) {
    MDIMain* frame = scene.frame;
    std::string path = (scene.scratch + "/grid.db").toStdString();
    dao::WorkspacePtr ws = dao::DBEngine().Workspaces(0);
    dao::DatabasePtr db = ws->CreateDatabase(path);
    auto td = db->CreateTableDef("Visits");
    td->Fields()->Append(td->CreateField("Patient", dao::dbText, 20));
    td->Fields()->Append(td->CreateField("Treated", dao::dbBoolean));
    td->Fields()->Append(td->CreateField("Visit", dao::dbDate));
    td->Fields()->Append(td->CreateField("Weight", dao::dbDouble));
    db->TableDefs()->Append(td);
    const char* names[] = {"Ann", "Bert", "Cleo", "Dirk", "Eva", "Finn"};
    for (int i = 0; i < 300; ++i)
        db->Execute("INSERT INTO Visits VALUES ('" + std::string(names[i % 6]) + "', " + (i % 3 ? "True" : "False") +
                    ", #2024-0" + std::to_string(1 + i % 9) + "-1" + std::to_string(i % 10) + "#, " +
                    std::to_string(60 + (i * 37) % 40) + ".5)");
    store::SetCurrentDatabase(ws, db);
    frame->OpenDataGridWindow("Source Table", "Visits");
    frame->resize(800, 500);
    QMdiSubWindow* sub = frame->MdiArea()->activeSubWindow();
    if (sub) sub->resize(600, 360);
    Save(frame, "frmDataGrid");
    frame->CloseDataGridWindows("Visits");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    store::ClearCurrentDatabase();
    db->Close();
}

// The windows in the order they are pictured; the frame comes second, and
// every one after it is shown over it.
constexpr void (*kWindows[])(Scene&) = {Splash,         Frame,           Options, About,      Calculator,
                                        GenerateCode,   ErrorHandler,    Help,    WizardEnds, OptionPages,
                                        MessageBoxLook, ScenarioWindows, DataGrid};

}  // namespace

int main(int argc, char** argv) {
    QTemporaryDir scratch;
    qputenv("XDG_CONFIG_HOME", (scratch.path() + "/config").toUtf8());
    qputenv("XDG_STATE_HOME", (scratch.path() + "/state").toUtf8());
    QApplication app(argc, argv);
    app.setWindowIcon(glyphs::Program());
    g_folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString("screenshots");
    QDir().mkpath(g_folder);
    vb::App().title = program::kAppTitle;
    vb::App().helpFile = program::HelpFilePath();
    ui::RecordingUi recorder;
    ui::ScopedUi installed(recorder);

    Scene scene{.frame = nullptr, .scratch = scratch.path()};
    for (void (*picture)(Scene&) : kWindows) picture(scene);
    delete scene.frame;
    return g_failures == 0 ? 0 : 1;
}
