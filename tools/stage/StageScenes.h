#pragma once

class AppWindows;

// Staging for the screenshot script and the start-up benchmark, in orve1-stage only (never
// installed): orve1 itself reads none of these.
//   ORVE1_SHOW=<window object name>  shows that window (non-modally) once the main window is up,
//                                    e.g. AboutBox, COM_PORT_SETTING_FORM, Timings, EDID_Block.
//   ORVE1_SHOW=Programmer_Form_steps the programme editor with three steps, the second current.
//                                    Timing, Timing_List and Timings show them in use (timing
//                                    20, a highlighted row, a few marks).
//   ORVE1_SHOW_EDID=<file>           with ORVE1_SHOW=EDID_Block: the editor shows that EDID file.
//   ORVE1_SHOW=LinkMonitor           the Link Monitor over OK of the port dialog (COM 1) and
//                                    Run Timing with timing 6; needs a generator on COM 1.
//   ORVE1_SHOW=PlanForm[_run]        the Test Plan window with ORVE1_SHOW_PLAN=<file> loaded;
//                                    _run: a run in progress (needs a generator on COM 1),
//                                    reports in ORVE1_SHOW_REPORTS=<folder>.
//   ORVE1_SHOW=PlanForm_station      with --station PLAN on the command line: a unit run in the
//                                    station, its second step failed with the defect codes
//                                    open (needs a generator on the station's port).
//   ORVE1_SHOW=EDID_Identity         the inspector's Edit identity... dialog for ORVE1_SHOW_EDID.
//   ORVE1_SHOW=EDID_Production       the production window with the ORVE1_SHOW_EDID file as its
//                                    golden EDID and the log ORVE1_SHOW_LOG=<file> (default: one
//                                    in the runtime folder); EDID_Production_unit also programs
//                                    unit SN-0001 on COM 1.
//   ORVE1_SHOW=ResultsForm[_runs|_serial]  the Results window on the results store in the
//                                    folder ORVE1_SHOW_RESULTS=<folder>, made there first (five
//                                    days of two plans on three stations) when it holds none;
//                                    the Yield tab, the Runs tab, or unit SN-4432's records.
//   ORVE1_EXIT_AFTER_SHOW=1          prints when the main window was first exposed, then exits.
class StageScenes {
public:
    // Call first thing in main().
    static void markMainStart();
    // Call after the main window has been shown.
    static void install(AppWindows& windows);
};
