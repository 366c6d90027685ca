#pragma once

#include <QString>
#include <QStringList>

#include "ctl/CtlRequest.h"

class ConsoleView;
class ProductionRun;

// orve1ctl's commands for a unit's EDID identity: edid-identity and edid-patch (offline), the
// options that say how the identity is made, and what edid-provision prints.
class IdentityCommands {
public:
    // True for "--serial-text" and the other identity options (with or without "=VALUE").
    static bool isOption(const QString& arg);
    // Takes the option name's value into out.
    static bool takeOption(const QString& name, const QString& value, CtlRequest& out,
                           QString& error);
    // Checks the operands and files of edid-identity, edid-patch and edid-provision, and that
    // the identity options go with the command; loads the golden EDID of edid-provision.
    static bool check(const QStringList& operands, CtlRequest& out, QString& error);

    // Exit statuses of edid-identity and edid-patch.
    static constexpr int Done = 0;
    static constexpr int BadInput = 2;
    // The identity fields of the EDID in path.
    static int identity(const QString& path, QString& out, QString& err);
    // A copy of request.file with the identity that request.recipe makes, written to
    // request.otherFile the way Save As writes; the output file is untouched on failure.
    static int patch(const CtlRequest& request, QString& out, QString& err);

    // Prints each stage of run as it ends, and its verdict: what went well on standard output,
    // failures on standard error.
    static void report(ProductionRun& run, ConsoleView& view);
    // 0 when the unit passed and was logged, else 1.
    static int status(const ProductionRun& run);
};
