// Prints the folder summary figures of a folder, as the chooser gathers them:
//   marvoline_folder_stats PATH
// Output: "COUNT TOTAL_BYTES NEWEST_MS" (NEWEST_MS is -1 when there is none).
// The folder test runs it as another user to meet folders it may not read.

#include "platform/FolderWalk.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: marvoline_folder_stats PATH\n", stderr);
        return 2;
    }
    const std::optional<marvoline::FolderStatistics> stats = marvoline::folderStatistics(argv[1]);
    if (!stats)
        return 1;
    std::printf("%lld %lld %lld\n", static_cast<long long>(stats->count),
                static_cast<long long>(stats->totalSize),
                static_cast<long long>(stats->newest ? stats->newest->toMSecsSinceEpoch() : -1));
    return 0;
}
