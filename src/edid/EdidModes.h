#pragma once

#include <QList>
#include <QStringList>

#include "edid/EdidImage.h"
#include "edid/EdidMode.h"

struct VideoFormat;

// The video modes an EDID image declares, in edid-decode's order: the established timings
// (bytes 35..37), the standard timings (bytes 38..53), the base block's detailed timings, then
// a CTA-861 block 1's short video descriptors and detailed timings. An entry that cannot be
// decoded is listed with the reason, never guessed. Reading never changes the image.
class EdidModes {
public:
    explicit EdidModes(const EdidImage& image);

    const QList<EdidMode>& modes() const { return modes_; }
    // What the image holds but was not read, and why (block 1 not CTA-861, an extension block
    // beyond the 256 bytes, a malformed CTA-861 block).
    const QStringList& notes() const { return notes_; }

private:
    void readEstablished();
    void readStandard();
    void readDetailed(int block, int offset, bool first);
    void readCta();
    void readVideoBlock(int offset, int length);
    EdidMode mode(EdidMode::Kind kind, int number, int offset) const;
    static void setFormat(EdidMode& m, const VideoFormat& f);

    EdidImage image_;
    QList<EdidMode> modes_;
    QStringList notes_;
    int detailedCount_ = 0;
};
