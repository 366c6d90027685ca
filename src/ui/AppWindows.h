#pragma once

#include <QList>
#include <memory>

#include "ui/ProgramStart.h"

class LinkEngine;
class QWidget;
class TAboutBox;
class TCOM_PORT_SETTING_FORM;
class TEDID_Block;
class TLinkMonitor;
class TEDID_Import;
class TEDID_Examiner;
class TEDID_Production;
class TMainForm;
class TPattern_List;
class TPlanForm;
class TPatterns;
class TProgrammer_Form;
class TResultsForm;
class TTiming_List;
class TTimings;
class TappedLine;

// The program's windows, created once in their fixed order and kept until the end; all but
// the main window start hidden and are only hidden when closed.
class AppWindows {
public:
    enum class Start {
        Whole,     // all nine windows now
        MainFirst  // the main window now, the other eight once it is on screen (ready())
    };
    // With a tap on the engine's line, the Link Monitor can be opened.
    explicit AppWindows(LinkEngine& engine, TappedLine* tap = nullptr, Start start = Start::Whole);
    ~AppWindows();
    AppWindows(const AppWindows&) = delete;
    AppWindows& operator=(const AppWindows&) = delete;

    // Station mode (orve1 --station): the main window's entries that would change the generator
    // outside the plan disabled, the Test Plan window shown with the plan on its Run tab (its
    // error shown, and nothing run, when it has one), and the generator's port opened: --port,
    // else the plan's port:, else COM 1.
    void startStation(const ProgramStart::Station& station);
    // Asks for a station's plan file with an open dialog; empty when cancelled.
    static QString askStationPlan();

    // The eight windows after the main one, made in their order if they are not yet: at once
    // after the main window's first showing, or sooner when the main window needs them.
    void ready();
    // The nine windows of the start-up order, in the order of creation.
    QList<QWidget*> all() const;
    // The EDID import dialog and inspector, made now if they were not yet.
    QList<QWidget*> tools();

    // Declared in creation order; destroyed in reverse, the main window last.
    std::unique_ptr<TMainForm> MainForm;
    std::unique_ptr<TAboutBox> AboutBox;
    std::unique_ptr<TCOM_PORT_SETTING_FORM> COM_PORT_SETTING_FORM;
    std::unique_ptr<TTiming_List> Timing_List;
    std::unique_ptr<TPattern_List> Pattern_List;
    std::unique_ptr<TTimings> Timings;
    std::unique_ptr<TPatterns> Patterns;
    std::unique_ptr<TProgrammer_Form> Programmer_Form;
    std::unique_ptr<TEDID_Block> EDID_Block;
    // Windows beyond the fixed set are made when first opened, so that start-up does not pay
    // for them: null until then. The Link Monitor exists only where the line is tapped.
    std::unique_ptr<TLinkMonitor> LinkMonitor;
    std::unique_ptr<TEDID_Import> EDID_Import;
    std::unique_ptr<TEDID_Examiner> EDID_Examiner;
    // Each of them, made now if it was not yet (linkMonitor() is null without a tap).
    TLinkMonitor* linkMonitor();
    TEDID_Import* edidImport();
    TEDID_Examiner* edidExaminer();
    // Output > Test Plan...: made on first use, so null until then.
    std::unique_ptr<TPlanForm> TestPlan;
    // The Test Plan window, made now if it was not yet.
    TPlanForm* testPlan();

    // Made on first use (EDID > Production...), so that start-up does not pay for it.
    std::unique_ptr<TEDID_Production> EDID_Production;
    TEDID_Production* production();

    // Output > Results...: made on first use, so null until then.
    std::unique_ptr<TResultsForm> Results;
    TResultsForm* results();

private:
    LinkEngine& engine_;
    TappedLine* tap_;
};
