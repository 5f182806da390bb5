// Writes receive-sized batches of every captured log into a folder, as the
// starting corpus of the parser fuzzer: each capture's bursts as its receiver
// sent them (several talkers, bursts up to 4 KB, lines too long to read) and
// cut at the old 1024-byte limit.
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
        const std::string log = LoadReceiverLog(path);
        for (const std::string& batch : CutIntoBatches(log, 1024))
            WriteFileBytes(std::string(argv[1]) + "/seed-" + std::to_string(n++), batch);
        for (const std::string& burst : CutIntoBursts(log))
            WriteFileBytes(std::string(argv[1]) + "/seed-" + std::to_string(n++),
                           burst.substr(0, 4096));
    }
    std::printf("%d seeds\n", n);
    return n > 0 ? 0 : 1;
}
