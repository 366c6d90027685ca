#pragma once

#include <QString>
#include <QStringList>
#include <array>

#include "ctl/CtlRequest.h"

// Reads the command line, the programme file and the EDID file into a CtlRequest.
class CtlArguments {
public:
    static QString usage();
    // False with a one-line reason when the arguments or the files they name are unusable.
    static bool parse(const QStringList& args, CtlRequest& out, QString& error);

    // "all" or numbers and ranges such as "1,3,5-9", each 1..count; flags[n-1] := 1.
    template <size_t N>
    static bool parseList(const QString& text, std::array<quint8, N>& flags, QString& error) {
        return parseListInto(text, flags.data(), static_cast<int>(N), error);
    }
    // Whether args[i] is the option name, as "NAME VALUE" (i moves past the value) or
    // "NAME=VALUE": Taken with value, NotIt, or Missing with error (no value after it).
    enum class Option { NotIt, Taken, Missing };
    static Option valueOf(const QStringList& args, int& i, const QString& name, QString& value,
                          QString& error);
    // A programme file (ProgramFile) for upload: every step in it must be one that is sent.
    static bool parseProgramme(const QString& text, ProgramColumns& table, QString& error);

private:
    // Takes the options out of args wherever they stand, into out.
    static bool takeOptions(QStringList& args, CtlRequest& out, QString& error);
    static bool parseListInto(const QString& text, quint8* flags, int count, QString& error);
    static bool parseNumber(const QString& text, int low, int high, int& value);
};
