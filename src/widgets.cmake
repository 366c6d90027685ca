# The widgets library and the orve1 executable.
add_library(orve1widgets STATIC
    ui/Icons.h ui/Icons.cpp
    ui/FormControls.h ui/FormControls.cpp
    ui/VerdictStyle.h ui/VerdictStyle.cpp
    ui/ElidedLabel.h ui/ElidedLabel.cpp
    ui/HomePath.h ui/HomePath.cpp
    ui/TFormDialog.h ui/TFormDialog.cpp
    ui/TStringGrid.h ui/TStringGrid.cpp
    ui/TUpDown.h ui/TUpDown.cpp
    ui/TSimpleComboBox.h ui/TSimpleComboBox.cpp
    ui/TMdiChildForm.h ui/TMdiChildForm.cpp
    ui/TCGauge.h ui/TCGauge.cpp
    ui/TStatusPanel.h ui/TStatusPanel.cpp
    ui/TStatusBar.h ui/TStatusBar.cpp
    ui/TAboutBox.h ui/TAboutBox.cpp
    ui/TMainForm.h ui/TMainForm.cpp
    ui/TLinkMonitor.h ui/TLinkMonitor.cpp
    ui/AppWindows.h ui/AppWindows.cpp
    ui/ApplicationMain.h ui/ApplicationMain.cpp
    ui/ProgramStart.h ui/ProgramStart.cpp
    port/TCOM_PORT_SETTING_FORM.h port/TCOM_PORT_SETTING_FORM.cpp
    timing/TTiming.h timing/TTiming.cpp
    timing/TTiming_List.h timing/TTiming_List.cpp
    timing/TTimings.h timing/TTimings.cpp
    pattern/TPatternForm.h pattern/TPatternForm.cpp
    pattern/TPattern_List.h pattern/TPattern_List.cpp
    pattern/TPatterns.h pattern/TPatterns.cpp
    programme/TProgrammer_Form.h programme/TProgrammer_Form.cpp
    edid/HexByteValidator.h edid/HexByteValidator.cpp
    edid/EdidCellDelegate.h edid/EdidCellDelegate.cpp
    edid/TEDID_Block.h edid/TEDID_Block.cpp
    edid/TEDID_Import.h edid/TEDID_Import.cpp
    edid/TEDID_Examiner.h edid/TEDID_Examiner.cpp
    plan/PlanControls.h plan/PlanControls.cpp
    plan/TPlanStepBoxes.h plan/TPlanStepBoxes.cpp
    plan/TPlanEditor.h plan/TPlanEditor.cpp
    plan/TPlanRunView.h plan/TPlanRunView.cpp
    plan/TPlanForm.h plan/TPlanForm.cpp
    edid/TEDID_Identity.h edid/TEDID_Identity.cpp
    production/TEDID_Production.h production/TEDID_Production.cpp
    resultsui/ChartView.h resultsui/ChartView.cpp
    resultsui/RunsTableModel.h resultsui/RunsTableModel.cpp
    resultsui/ResultsControls.h resultsui/ResultsControls.cpp
    resultsui/TResultsSerialView.h resultsui/TResultsSerialView.cpp
    resultsui/TResultsYieldView.h resultsui/TResultsYieldView.cpp
    resultsui/TResultsForm.h resultsui/TResultsForm.cpp
    resultsui/ResultsLinkRow.h resultsui/ResultsLinkRow.cpp
)
target_link_libraries(orve1widgets PUBLIC orve1core orve1serial Qt6::Widgets)
# Where the manual is, as the About box says: one implementation per platform.
if(WIN32)
    target_sources(orve1widgets PRIVATE ui/ManualPlace.h ui/ManualPlaceWindows.cpp)
else()
    target_sources(orve1widgets PRIVATE ui/ManualPlace.h ui/ManualPlacePosix.cpp)
endif()

add_executable(orve1 ui/main.cpp)
target_link_libraries(orve1 PRIVATE orve1widgets)
# A desktop program on Windows: no console window opens beside it, and it carries its icon.
if(WIN32)
    enable_language(RC)
    set_target_properties(orve1 PROPERTIES WIN32_EXECUTABLE ON)
    target_sources(orve1 PRIVATE ${PROJECT_SOURCE_DIR}/packaging/windows/orve1.rc)
endif()
