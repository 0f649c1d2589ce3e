#pragma once
// Whole-file writes that fail at the rename, for the life of the object, through the
// writer's own seam: the old file stays, the temporary goes, the caller sees the error.

#include "core/base/whole_file.h"

#include <cerrno>

class FailingRenames {
public:
    explicit FailingRenames(int error) : steps_(failing(error)), faults_(steps_) {}

private:
    static wholefile::Steps failing(int error)
    {
        error_ = error;
        wholefile::Steps s = wholefile::CurrentSteps();
        s.rename = [](const char*, const char*) {
            errno = error_;
            return -1;
        };
        return s;
    }
    static inline int error_ = EIO;
    const wholefile::Steps steps_;  // the seam keeps a pointer to them
    wholefile::ScopedSteps faults_;
};
