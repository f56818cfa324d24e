#pragma once

#include "document/TaskDocument.h"
#include "platform/KeyStroke.h"

#include <string>
#include <vector>

namespace kestrun {

/// What a run has read before its first task: the rows, their parsed keys and
/// the program's name.
struct RunPlan {
    std::string program;
    std::vector<TaskRow> rows;
    std::vector<std::vector<KeyStroke>> keys;
};

}  // namespace kestrun
