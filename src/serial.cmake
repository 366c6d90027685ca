add_library(orve1serial STATIC
    link/QtSerialLine.h link/QtSerialLine.cpp
)
target_link_libraries(orve1serial PUBLIC orve1core Qt6::SerialPort)
