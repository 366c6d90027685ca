#include "ctl/CtlRequest.h"

Command CtlRequest::command() const {
    switch (kind) {
        case Kind::Probe:
            return Command::Urtcnt;
        case Kind::Timing:
            return Command::Tmix;
        case Kind::Pattern:
            return Command::Ptix;
        case Kind::Default:
            return Command::Dfset;
        case Kind::Timings:
            return Command::Tmgs;
        case Kind::Patterns:
            return Command::Ptns;
        case Kind::Programme:
            return Command::Atrn;
        case Kind::EdidRead:
            return Command::Redid;
        case Kind::EdidUpload:
            return Command::Uedid;
        case Kind::EdidWrite:
            return Command::Wedid;
        case Kind::EdidProvision:
            return Command::Uedid;
        case Kind::Results:
        case Kind::Plan:
        case Kind::EdidIdentity:
        case Kind::EdidPatch:
        case Kind::Ports:
        case Kind::EdidInfo:
        case Kind::EdidDiff:
        case Kind::Help:
        case Kind::Version:
            break;
    }
    return Command::Urtcnt;
}

bool CtlRequest::usesGenerator() const {
    return kind != Kind::Ports && kind != Kind::EdidInfo && kind != Kind::EdidDiff &&
           kind != Kind::EdidIdentity && kind != Kind::EdidPatch && kind != Kind::Results &&
           kind != Kind::Help && kind != Kind::Version;
}
