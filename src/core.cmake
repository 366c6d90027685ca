# The file seam: one implementation per platform.
if(WIN32)
    set(ORVE1_SAFEFILE_SOURCE files/SafeFileWindows.cpp)
else()
    set(ORVE1_SAFEFILE_SOURCE files/SafeFilePosix.cpp)
endif()
add_library(orve1core STATIC
    link/CommandSlot.h
    link/CommandTable.h
    link/CommandData.h
    link/LinkState.h link/LinkState.cpp
    link/SerialLine.h
    link/TappedLine.h link/TappedLine.cpp
    link/LinkTrace.h link/LinkTrace.cpp
    link/Clock.h
    link/SteadyClock.h link/SteadyClock.cpp
    link/LinkView.h
    link/EdidBlockReader.h link/EdidBlockReader.cpp
    link/LinkEngine.h link/LinkEngine.cpp
    link/ComPortMap.h link/ComPortMap.cpp
    timing/TimingTable.h
    timing/TimingText.h timing/TimingText.cpp
    pattern/PatternTable.h
    programme/ProgramColumns.h
    programme/ProgramPacker.h programme/ProgramPacker.cpp
    programme/ProgramTable.h
    programme/ProgramFile.h programme/ProgramFile.cpp
    files/SafeFile.h files/SafeFileChecks.cpp
    ${ORVE1_SAFEFILE_SOURCE}
    edid/EdidImage.h
    edid/EdidCodec.h edid/EdidCodec.cpp
    edid/EdidHeader.h edid/EdidHeader.cpp
    edid/EdidImageFile.h edid/EdidImageFile.cpp
    edid/EdidInfo.h edid/EdidInfo.cpp
    edid/EdidText.h edid/EdidText.cpp
    edid/EdidDiff.h edid/EdidDiff.cpp
    edid/EdidDecodeRun.h edid/EdidDecodeRun.cpp
    edid/VideoFormatTables.h
    edid/EdidMode.h edid/EdidMode.cpp
    edid/EdidModes.h edid/EdidModes.cpp
    edid/DeclaredTimings.h edid/DeclaredTimings.cpp
    plan/Plan.h plan/Plan.cpp
    plan/PlanFile.h plan/PlanFile.cpp
    plan/RunRecord.h plan/RunRecord.cpp
    plan/RunJournal.h
    plan/PlanRunner.h plan/PlanRunner.cpp
    plan/RunReport.h plan/RunReport.cpp
    edid/EdidIdentity.h edid/EdidIdentity.cpp
    production/IdentityRecipe.h production/IdentityRecipe.cpp
    production/GoldenEdid.h production/GoldenEdid.cpp
    production/ProductionLog.h production/ProductionLog.cpp
    production/ProductionRun.h production/ProductionRun.cpp
    production/UnitRecord.h production/UnitRecord.cpp
    results/StoreDialect.h results/StoreDialect.cpp
    results/ResultsSchema.h results/ResultsSchema.cpp
    results/StoreValues.h results/StoreValues.cpp
    results/StoreConnection.h results/StoreConnection.cpp
    results/StoreWriter.h results/StoreWriter.cpp
    results/StoredRun.h results/StoredRun.cpp
    results/StoreImport.h results/StoreImport.cpp
    results/ResultsStore.h results/ResultsStore.cpp
    results/ResultsStation.h results/ResultsStation.cpp
    results/ResultsQuery.h results/ResultsQuery.cpp
    results/ResultsImport.h results/ResultsImport.cpp
    results/ResultsText.h results/ResultsText.cpp
    results/ChartModel.h results/ChartModel.cpp
    results/ResultsSummary.h results/ResultsSummary.cpp
    production/SerialFormat.h production/SerialFormat.cpp
    results/ResultsLocation.h results/ResultsLocation.cpp
    results/ServerTls.h
    results/ResultsBatch.h results/ResultsBatch.cpp
    results/ForwarderStatus.h results/ForwarderStatus.cpp
    results/ResultsForwarder.h results/ResultsForwarder.cpp
    results/ResultsForwarderThread.h results/ResultsForwarderThread.cpp
)
target_include_directories(orve1core PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(orve1core PUBLIC Qt6::Core Qt6::Sql)
# Where COM n leads, one implementation per platform; Windows' own error texts for the files and
# the line there. The PostgreSQL client shipped for Windows has no TLS (ServerTls).
if(WIN32)
    target_sources(orve1core PRIVATE
        results/ServerTlsNone.cpp
        link/ComPortMapWindows.cpp
        platform/WindowsError.h platform/WindowsError.cpp
    )
else()
    target_sources(orve1core PRIVATE link/ComPortMapPosix.cpp results/ServerTlsLibpq.cpp)
endif()
