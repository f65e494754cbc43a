// Times the sync engine's first sync of 100,000 files of 1 KiB (1,000 folders of 100) up and down,
// each beside a plain `cp -r` of the same tree on the same disk (see SyncBench.h).
//
//   bench_firstsync [base folder] [runs]   (default: /dev/shm, 1 run)
#include "SyncBench.h"

int main(int argc, char** argv) {
    return syncbench::run(argc, argv, syncbench::Shape{1000, 100, 100'000LL * 1024});
}
