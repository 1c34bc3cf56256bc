// Writes the generated release script (release_script_generator.h) to a file:
//   make_release_script OUT.sql [OUT_FOR_ISQL.sql]
#include <cstdio>
#include <fstream>
#include "release_script_generator.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: make_release_script OUT.sql [OUT_FOR_ISQL.sql]\n");
        return 2;
    }
    const std::string script = xqv::bench::GenerateReleaseScript();
    std::ofstream(argv[1], std::ios::binary) << script;
    if (argc > 2) std::ofstream(argv[2], std::ios::binary) << xqv::bench::ForIsql(script);
    return 0;
}
