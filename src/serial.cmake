# The line and the port diagnosis: one implementation per platform behind the same headers.
add_library(orve1serial STATIC
    link/PlatformLine.h
    link/PortDescription.h link/PortDescription.cpp
    link/OpenDiagnosis.h
)
if(WIN32)
    target_sources(orve1serial PRIVATE
        link/Win32SerialLine.h link/Win32SerialLine.cpp
        link/PlatformLineWindows.cpp
        link/OpenDiagnosisWindows.cpp
    )
else()
    target_sources(orve1serial PRIVATE
        link/QtSerialLine.h link/QtSerialLine.cpp
        link/PlatformLinePosix.cpp
        link/ProcessTable.h link/ProcessTable.cpp
        link/OpenDiagnosisPosix.cpp
    )
endif()
target_link_libraries(orve1serial PUBLIC orve1core Qt6::SerialPort)
