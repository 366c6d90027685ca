#pragma once

#include <QString>

#include "ctl/CtlRequest.h"

// orve1ctl results: the results store's questions as aligned text for a person or CSV for a
// script, its export and the import of earlier versions' files. Offline; only import writes.
class ResultsCommands {
public:
    static constexpr int Done = 0;
    static constexpr int NothingMatched = 1;
    static constexpr int BadInput = 2;

    // out: what goes to standard output; err: to standard error (without "orve1ctl: ").
    static int run(const CtlRequest& request, QString& out, QString& err);
};
