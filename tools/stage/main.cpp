// orve1-stage: orve1 with windows staged for pictures and the start-up benchmark, as
// StageScenes.h lists. Built beside orve1, never installed.
#include "StageScenes.h"
#include "ui/ApplicationMain.h"

int main(int argc, char* argv[]) {
    StageScenes::markMainStart();
    return ApplicationMain::run(argc, argv, &StageScenes::install);
}
