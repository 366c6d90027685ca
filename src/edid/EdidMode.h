#pragma once

#include <QString>

#include "edid/EdidInfo.h"

// One video mode that an EDID declares: which entry declares it, where, and what the mode is.
struct EdidMode {
    enum class Kind { Established, Standard, Detailed, Vic };

    Kind kind = Kind::Detailed;
    // Established: 0..16 (EstablishedFormats); Standard: slot 1..8; Detailed: 1.. through the
    // image, as edid-decode numbers them; Vic: the VIC.
    int number = 0;
    int block = 0;
    int offset = 0;           // the image byte where the entry starts
    int bit = -1;             // Established: the bit of that byte
    bool preferred = false;   // the first detailed timing of the base block
    bool native = false;      // a VIC marked native
    EdidInfo::Timing timing;  // present once decoded; pixelClockMHz 0 where the EDID gives none
    QString problem;          // why it could not be decoded

    bool decoded() const { return timing.present; }
    // "DTD 1", "VIC 16", "Standard timing 3", "Established timing".
    QString name() const;
    // "DTD 1 (block 0, byte 54; preferred)", "Established timing (block 0, byte 35 bit 5)".
    QString entryText() const;
    // "1920x1080i @ 60.000 Hz, 74.250 MHz"; "not decoded: <problem>".
    QString modeText() const;
};
