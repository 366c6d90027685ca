#include "ui/AppWindows.h"

#include "edid/TEDID_Block.h"
#include "edid/TEDID_Examiner.h"
#include "edid/TEDID_Import.h"
#include "link/TCOM_PORT_SETTING_FORM.h"
#include "pattern/TPattern_List.h"
#include "pattern/TPatterns.h"
#include "plan/TPlanForm.h"
#include "production/TEDID_Production.h"
#include "programme/TProgrammer_Form.h"
#include "timing/TTiming_List.h"
#include "timing/TTimings.h"
#include "ui/TAboutBox.h"
#include "ui/TLinkMonitor.h"
#include "ui/TMainForm.h"

AppWindows::AppWindows(LinkEngine& engine, TappedLine* tap) : engine_(engine), tap_(tap) {
    MainForm = std::make_unique<TMainForm>(engine);
    QWidget* owner = MainForm.get();
    AboutBox = std::make_unique<TAboutBox>(owner);
    COM_PORT_SETTING_FORM = std::make_unique<TCOM_PORT_SETTING_FORM>(engine, owner);
    Timing_List = std::make_unique<TTiming_List>(engine, owner);
    Pattern_List = std::make_unique<TPattern_List>(engine, owner);
    Timings = std::make_unique<TTimings>(engine, owner);
    Patterns = std::make_unique<TPatterns>(engine, owner);
    Programmer_Form = std::make_unique<TProgrammer_Form>(engine, owner);
    EDID_Block = std::make_unique<TEDID_Block>(engine, owner);

    TMainForm::Forms forms;
    forms.AboutBox = AboutBox.get();
    forms.COM_PORT_SETTING_FORM = COM_PORT_SETTING_FORM.get();
    forms.Timing_List = Timing_List.get();
    forms.Timings = Timings.get();
    forms.Patterns = Patterns.get();
    forms.Pattern_List = Pattern_List.get();
    forms.Programmer_Form = Programmer_Form.get();
    forms.EDID_Block = EDID_Block.get();
    if (tap)
        forms.LinkMonitor = [this] { return linkMonitor(); };
    forms.EDID_Import = [this] { return static_cast<QDialog*>(edidImport()); };
    forms.EDID_Examiner = [this] { return static_cast<QWidget*>(edidExaminer()); };
    forms.TestPlan = [this]() -> QWidget* { return testPlan(); };
    forms.EDID_Production = [this] { return static_cast<QWidget*>(production()); };
    MainForm->setForms(forms);
}

TPlanForm* AppWindows::testPlan() {
    if (!TestPlan) {
        TestPlan = std::make_unique<TPlanForm>(engine_, MainForm.get());
        // A run in progress ends with the program, and leaves its report.
        QObject::connect(MainForm.get(), &TMainForm::formClosed, TestPlan.get(),
                         &TPlanForm::mainClosing);
    }
    return TestPlan.get();
}

AppWindows::~AppWindows() = default;

TEDID_Production* AppWindows::production() {
    if (!EDID_Production)
        EDID_Production = std::make_unique<TEDID_Production>(engine_, *MainForm, MainForm.get());
    return EDID_Production.get();
}

QList<QWidget*> AppWindows::all() const {
    return {MainForm.get(),    AboutBox.get(),        COM_PORT_SETTING_FORM.get(),
            Timing_List.get(), Pattern_List.get(),    Timings.get(),
            Patterns.get(),    Programmer_Form.get(), EDID_Block.get()};
}

QList<QWidget*> AppWindows::tools() {
    return {edidImport(), edidExaminer()};
}

TLinkMonitor* AppWindows::linkMonitor() {
    if (!LinkMonitor && tap_)
        LinkMonitor = std::make_unique<TLinkMonitor>(*tap_, MainForm.get());
    return LinkMonitor.get();
}

TEDID_Import* AppWindows::edidImport() {
    if (!EDID_Import) {
        EDID_Import = std::make_unique<TEDID_Import>(MainForm.get());
        TMainForm* main = MainForm.get();
        EDID_Import->OnImport = [main](const QString& text) { return main->importEdidText(text); };
        EDID_Import->OnMessage = [main](const QString& text, const QString& detail) {
            main->showMessage(text, detail);
        };
    }
    return EDID_Import.get();
}

TEDID_Examiner* AppWindows::edidExaminer() {
    if (!EDID_Examiner) {
        TMainForm* main = MainForm.get();
        // Made now, it shows the image as it is now, and follows it from here on.
        EDID_Examiner = std::make_unique<TEDID_Examiner>(engine_, main);
        QObject::connect(main, &TMainForm::edidChanged, EDID_Examiner.get(),
                         &TEDID_Examiner::refresh);
        EDID_Examiner->OnMarkTimings = [main] { main->Timing2Click(); };
    }
    return EDID_Examiner.get();
}
