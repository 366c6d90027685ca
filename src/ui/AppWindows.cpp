#include "ui/AppWindows.h"

#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QTimer>
#include <QWindow>
#include <functional>

#include "edid/TEDID_Block.h"
#include "edid/TEDID_Examiner.h"
#include "edid/TEDID_Import.h"
#include "link/LinkEngine.h"
#include "pattern/TPattern_List.h"
#include "pattern/TPatterns.h"
#include "plan/TPlanForm.h"
#include "port/TCOM_PORT_SETTING_FORM.h"
#include "production/TEDID_Production.h"
#include "programme/TProgrammer_Form.h"
#include "resultsui/TResultsForm.h"
#include "timing/TTiming_List.h"
#include "timing/TTimings.h"
#include "ui/TAboutBox.h"
#include "ui/TLinkMonitor.h"
#include "ui/TMainForm.h"

namespace {

// Calls done once the watched widget has first been painted: its window's first exposure
// paints it, and a zero-time timer set then runs after that paint has gone out.
class FirstShowing : public QObject {
public:
    FirstShowing(QWidget* widget, std::function<void()> done)
        : QObject(widget), done_(std::move(done)) {
        widget->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (event->type() == QEvent::Show && widget && widget->windowHandle()) {
            // Its window exists from its first showing on.
            widget->removeEventFilter(this);
            widget->windowHandle()->installEventFilter(this);
        } else if (event->type() == QEvent::Expose && done_) {
            auto* window = qobject_cast<QWindow*>(watched);
            if (window && window->isExposed()) {
                window->removeEventFilter(this);
                QTimer::singleShot(0, this, [this] {
                    const std::function<void()> done = std::move(done_);
                    deleteLater();
                    done();
                });
            }
        }
        return false;
    }

private:
    std::function<void()> done_;
};

}  // namespace

AppWindows::AppWindows(LinkEngine& engine, TappedLine* tap, Start start)
    : engine_(engine), tap_(tap) {
    MainForm = std::make_unique<TMainForm>(engine);
    if (start == Start::Whole) {
        ready();
        return;
    }
    // The operator sees the main window first; the hidden windows follow in their order as soon
    // as it has been painted, before anything the operator does reaches them.
    MainForm->needForms = [this] { ready(); };
    new FirstShowing(MainForm.get(), [this] { ready(); });
}

void AppWindows::ready() {
    if (EDID_Block)
        return;
    LinkEngine& engine = engine_;
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
    if (tap_)
        forms.LinkMonitor = [this] { return linkMonitor(); };
    forms.EDID_Import = [this] { return static_cast<QDialog*>(edidImport()); };
    forms.EDID_Examiner = [this] { return static_cast<QWidget*>(edidExaminer()); };
    forms.TestPlan = [this]() -> QWidget* { return testPlan(); };
    forms.EDID_Production = [this] { return static_cast<QWidget*>(production()); };
    forms.Results = [this] { return static_cast<QWidget*>(results()); };
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

void AppWindows::startStation(const ProgramStart::Station& station) {
    ready();
    MainForm->setStationMode();
    TPlanForm* form = testPlan();
    form->show();
    form->raise();
    form->activateWindow();
    const QString reports =
        station.reports.isEmpty() ? QString() : QFileInfo(station.reports).absoluteFilePath();
    form->startStation(station.plan, reports, station.operatorName);
    const int port = station.port ? station.port : form->plan().port ? form->plan().port : 1;
    // A port that will not open says why in the engine's own message; Connect stays for it.
    engine_.connectPort(quint8(port));
    form->runView().focusSerial();
}

QString AppWindows::askStationPlan() {
    QFileDialog dialog(nullptr, QStringLiteral("ORVE-1 Station: the test plan to run"));
    dialog.setObjectName(QStringLiteral("StationPlanDialog"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setNameFilters(
        {QStringLiteral("Test plans (*.txt *.plan)"), QStringLiteral("All files (*)")});
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

TEDID_Production* AppWindows::production() {
    if (!EDID_Production)
        EDID_Production = std::make_unique<TEDID_Production>(engine_, *MainForm, MainForm.get());
    return EDID_Production.get();
}

TResultsForm* AppWindows::results() {
    if (!Results)
        Results = std::make_unique<TResultsForm>(*MainForm, MainForm.get());
    return Results.get();
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
