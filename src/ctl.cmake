# The command-line companion: its logic in a library the tests link, a thin executable.
add_library(orve1ctllib STATIC
    ctl/CtlRequest.h ctl/CtlRequest.cpp
    ctl/CtlArguments.h ctl/CtlArguments.cpp
    ctl/ConsoleView.h ctl/ConsoleView.cpp
    ctl/CtlRunner.h ctl/CtlRunner.cpp
    ctl/EdidCommands.h ctl/EdidCommands.cpp
    ctl/PlanArguments.h ctl/PlanArguments.cpp
    ctl/CtlPlanRunner.h ctl/CtlPlanRunner.cpp
    ctl/ForwardWait.h ctl/ForwardWait.cpp
    ctl/StdinLines.h ctl/StdinLines.cpp
    ctl/IdentityCommands.h ctl/IdentityCommands.cpp
    ctl/ResultsArguments.h ctl/ResultsArguments.cpp
    ctl/ResultsCommands.h ctl/ResultsCommands.cpp
)
target_link_libraries(orve1ctllib PUBLIC orve1core orve1serial)
# The console seam: is standard error a terminal.
if(WIN32)
    target_sources(orve1ctllib PRIVATE ctl/Terminal.h ctl/TerminalWindows.cpp)
else()
    target_sources(orve1ctllib PRIVATE ctl/Terminal.h ctl/TerminalPosix.cpp)
endif()

add_executable(orve1ctl ctl/main.cpp)
target_link_libraries(orve1ctl PRIVATE orve1ctllib)
