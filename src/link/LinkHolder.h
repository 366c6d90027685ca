#pragma once

#include <QString>

#include "link/CommandSlot.h"

// Something that runs a sequence of commands for the operator (a test plan, programming one
// unit after another). While it holds the link only it starts commands, and it hears how each
// command it started ended.
class LinkHolder {
public:
    virtual ~LinkHolder() = default;
    // Command c, started by this holder, has ended: ok when it succeeded. message is the text the
    // engine shows for that outcome ("Upload successful!!", "No Response !!"; empty when it shows
    // none), detail its details. Returns true when the holder shows it itself, so that no box
    // opens; false lets the engine's view show it as usual.
    virtual bool commandEnded(Command c, bool ok, const QString& message,
                              const QString& detail) = 0;
};
