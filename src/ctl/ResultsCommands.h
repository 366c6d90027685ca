#pragma once

#include <QString>

#include "ctl/CtlRequest.h"

// orve1ctl results: the results store's questions as aligned text for a person or CSV for a
// script, its export and the import of earlier versions' files; a line's server's tables
// (init), and a station's records sent to it by hand (forward). Only import, init and forward
// write.
class ResultsCommands {
public:
    static constexpr int Done = 0;
    static constexpr int NothingMatched = 1;  // forward: records left waiting
    static constexpr int BadInput = 2;

    // out: what goes to standard output; err: to standard error (without "orve1ctl: ").
    static int run(const CtlRequest& request, QString& out, QString& err);
};
