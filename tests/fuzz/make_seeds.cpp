// Writes receive-sized batches of every captured log into a folder, as the
// starting corpus of the parser fuzzer.
#include <cstdio>
#include <string>

#include "test_support.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_seeds OUTPUT_DIR\n");
        return 2;
    }
    int n = 0;
    for (const std::string& path : CorpusLogPaths()) {
        for (const std::string& batch : CutIntoBatches(LoadReceiverLog(path), 1024))
            WriteFileBytes(std::string(argv[1]) + "/seed-" + std::to_string(n++), batch);
    }
    std::printf("%d seeds\n", n);
    return n > 0 ? 0 : 1;
}
