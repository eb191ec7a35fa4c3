#include "join_files.h"

#include "win32/avi_reader.h"

namespace clipjoiner {

std::optional<JoinProblem> checkJoin(std::span<const std::wstring> paths,
                                     std::atomic<std::size_t>& done,
                                     const std::atomic<bool>& stop) {
    const win::AviReader reader;
    JoinCheck check;
    for (const auto& path : paths) {
        if (stop || !check.add(reader.read(path))) break;
        ++done;
    }
    return check.problem();
}

}  // namespace clipjoiner
