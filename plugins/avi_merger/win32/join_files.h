// The merger's check of the listed files before it writes the script.
#pragma once

#include <atomic>
#include <cstddef>
#include <optional>
#include <span>
#include <string>

#include "join_check.h"

namespace clipjoiner {

// Reads each file with the platform's AVI reader and compares it with the first, in list order,
// stopping at the first problem. `done` counts the files read, for a progress display; once
// `stop` is set the check ends early, and what it returns counts for nothing.
std::optional<JoinProblem> checkJoin(std::span<const std::wstring> paths,
                                     std::atomic<std::size_t>& done, const std::atomic<bool>& stop);

}  // namespace clipjoiner
