// Times the sync engine's first sync of 10,000 small files (100 MiB in all, 100 folders of 100)
// up and down, each beside a plain `cp -r` of the same tree on the same disk (see SyncBench.h).
//
//   bench_engine [base folder] [runs]   (default: /dev/shm, 1 run)
#include "SyncBench.h"

int main(int argc, char** argv) {
    return syncbench::run(argc, argv, syncbench::Shape{100, 100, 100LL * 1024 * 1024});
}
