# Start-up time to a shown main window and peak memory of orve1 (POSIX: fork, exec, wait4).
if(UNIX)
    add_executable(bench_startup startup.cpp)
    add_dependencies(bench_startup orve1-stage)
endif()
