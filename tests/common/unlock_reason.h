// The reason text of the CUnlockException an action raises.
#pragma once

#include <string>

#include "vorlan/support/unlockexception.h"

namespace testcommon {

inline constexpr const char* kNoException = "<no exception>";

template <class Action>
std::string UnlockReason(Action&& action) {
    try {
        action();
    } catch (CUnlockException* e) {
        e->Delete();
        return LastUnlockReason();
    }
    return kNoException;
}

}  // namespace testcommon
