// A window that records the progress-bar messages it receives, sent or posted, in order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "vorlan/support/progress.h"

namespace testcommon {

struct Message {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool posted = false;
    bool operator==(const Message&) const = default;
};

class CMessageRecorder : public CMessageReceiver {
public:
    LRESULT SendMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        messages.push_back({message, wParam, lParam, false});
        return 0;
    }
    BOOL PostMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        messages.push_back({message, wParam, lParam, true});
        return TRUE;
    }
    std::size_t Count(UINT message) const {
        std::size_t n = 0;
        for (const auto& m : messages) n += m.message == message ? 1 : 0;
        return n;
    }
    std::vector<Message> messages;
};

// What CProgress::SetUp(max, min, step, pos) sends: the range as two 16-bit halves, step, position.
inline std::vector<Message> SetUpMessages(int max, int min, WPARAM step, WPARAM pos, bool posted = false) {
    const auto range = static_cast<std::uint32_t>(max) << 16 | (static_cast<std::uint32_t>(min) & 0xFFFF);
    return {{PBM_SETRANGE, 0, static_cast<LPARAM>(range), posted},
            {PBM_SETSTEP, step, 0, posted},
            {PBM_SETPOS, pos, 0, posted}};
}

}  // namespace testcommon
