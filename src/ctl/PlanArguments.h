#pragma once

#include <QString>
#include <QStringList>

#include "ctl/CtlRequest.h"

// The part of orve1ctl's command line that belongs to "plan FILE": its options and the plan.
class PlanArguments {
public:
    // Takes args[i] (and its value) when it is one of plan's options; false with error when it
    // is one but unusable. taken tells whether it was one.
    static bool takeOption(const QStringList& args, int& i, CtlRequest& out, bool& taken,
                           QString& error);
    // True when an option of plan's was given (for refusing it with other commands).
    static bool anyGiven(const CtlRequest& out);
    // plan FILE: reads and checks the plan and the options together. --as-programme turns the
    // request into the programme upload.
    static bool parse(const QString& file, CtlRequest& out, QString& error);
};
