#pragma once
#include "host/core/clock.h"

namespace host {

// The system clock whose pause keeps windows painting and responding.
class QtClock : public SystemClock {
public:
    void pause(double seconds) override;
};

}  // namespace host
