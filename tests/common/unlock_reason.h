// The reason of the CUnlockException an action raises.
#pragma once

#include "tests/common/exceptions.h"
#include "vorlan/support/unlockexception.h"

namespace testcommon {

template <class Action>
std::string UnlockReason(Action&& action) {
    return MessageOf<CUnlockException>(std::forward<Action>(action));
}

}  // namespace testcommon
