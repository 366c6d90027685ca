add_library(orve1serial STATIC
    link/QtSerialLine.h link/QtSerialLine.cpp
    link/PortDescription.h link/PortDescription.cpp
    link/ProcessTable.h link/ProcessTable.cpp
    link/OpenDiagnosis.h link/OpenDiagnosis.cpp
)
target_link_libraries(orve1serial PUBLIC orve1core Qt6::SerialPort)
