// The folder summary's walk on its own, for comparison with du and find:
//   bench_folder_stats PATH
// Prints "COUNT TOTAL_BYTES".
#include "platform/FolderWalk.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: bench_folder_stats PATH\n", stderr);
        return 2;
    }
    const auto stats = marvoline::folderStatistics(argv[1]);
    if (!stats)
        return 1;
    std::printf("%lld %lld\n", static_cast<long long>(stats->count),
                static_cast<long long>(stats->totalSize));
    return 0;
}
