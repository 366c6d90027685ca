#include "link/LinkState.h"

CommandSlot& LinkState::slot(Command c) {
    switch (c) {
        case Command::Urtcnt:
            return urtcntSlot;
        case Command::Tmix:
            return tmixSlot;
        case Command::Ptix:
            return ptixSlot;
        case Command::Tmgs:
            return tmgsSlot;
        case Command::Ptns:
            return ptnsSlot;
        case Command::Atrn:
            return atrnSlot;
        case Command::Dfset:
            return dfsetSlot;
        case Command::Redid:
            return redidSlot;
        case Command::Uedid:
            return uedidSlot;
        case Command::Wedid:
            return wedidSlot;
    }
    return urtcntSlot;  // unreachable: every enumerator is handled above
}

CommandSlot LinkState::slot(Command c) const {
    return const_cast<LinkState*>(this)->slot(c);
}

bool LinkState::anyCommandBusy() const {
    for (int i = 0; i < CommandCount; ++i) {
        if (slot(static_cast<Command>(i)) != CommandSlot::Idle)
            return true;
    }
    return false;
}
