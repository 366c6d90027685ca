#pragma once

#include <string>
#include <vector>

// Command-line settings of the virtual generator: which port it registers and which faults it
// plays on purpose. All fault fields off means a well-behaved generator.
class SimOptions {
public:
    enum class Outcome { Run, Help, Version, Error };

    struct EdidFault {
        enum class Kind { Drop, Truncate, Corrupt };
        Kind kind;
        int block;  // 0..7, the block at offset 32 * block
        int count;  // how many requests of that block go wrong
    };

    int port = 1;
    std::string edidFile;
    bool timingReport = false;
    bool silent = false;
    bool noFinal = false;
    bool rejectFirst = false;
    bool rejectFinal = false;
    bool split = false;
    int delayMs = 0;
    int burst = 0;
    int hangupAfter = 0;    // 0: never
    int hangupAtFrame = 0;  // 0: never; else the n-th command frame (from 1) is not answered
    int spoilUpload = -1;   // byte of an uploaded EDID stored with its lowest bit flipped; -1: none
    std::vector<EdidFault> edidFaults;
    std::string blockTrailer;  // sent after every EDID block, in the same write

    // Fills the fields from the arguments; on Error, *error holds a one-line reason.
    Outcome parse(int argc, char** argv, std::string* error);
    static const char* helpText();
};
