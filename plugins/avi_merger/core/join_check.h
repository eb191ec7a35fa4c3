// Whether the listed files can be joined by a stream copy: each compared with the first in what
// the copy cannot change (codec, frame size and rate, audio format, channels, rate and bits).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "core/movie_info.h"

namespace clipjoiner {

// The first thing that keeps a listed file from joining the first one.
struct JoinProblem {
    std::size_t file = 0;   // its list index
    std::wstring property;  // empty when it cannot be read as AVI
    std::wstring value;     // the file's
    std::wstring expected;  // the first file's
};

// Takes the listed files in list order and keeps the first problem.
class JoinCheck {
  public:
    // The next file, or nothing when it cannot be read as AVI; false once there is a problem,
    // since the rest need not be read.
    bool add(const std::optional<common::MovieInfo>& movie);
    const std::optional<JoinProblem>& problem() const { return problem_; }

  private:
    std::optional<common::MovieInfo> first_;
    std::size_t count_ = 0;
    std::optional<JoinProblem> problem_;
};

// The question put to the user: the file and the problem named, then whether to merge anyway.
// Files are named by their names, or by their paths when the file has the first one's name.
std::wstring joinQuestion(const JoinProblem& problem, std::wstring_view path,
                          std::wstring_view firstPath);

}  // namespace clipjoiner
