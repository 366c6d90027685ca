#pragma once

#include <QString>
#include <QStringList>

#include "ctl/CtlRequest.h"

// The part of orve1ctl's command line that belongs to "results": its options (and --results,
// which plan and edid-provision take too) and its subcommands.
class ResultsArguments {
public:
    // Takes args[i] (and its value) when it is one of the results options; false with error
    // when it is one but unusable. taken tells whether it was one.
    static bool takeOption(const QStringList& args, int& i, CtlRequest& out, bool& taken,
                           QString& error);
    // Refuses results options given with another command (--results goes with plan and
    // edid-provision too).
    static bool check(const QString& command, const CtlRequest& out, QString& error);
    // results SUBCOMMAND OPERAND...: the words after "results", options already taken.
    static bool parse(const QStringList& words, CtlRequest& out, QString& error);
};
