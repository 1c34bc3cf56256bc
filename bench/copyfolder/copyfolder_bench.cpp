// Times one CopyFolder of a tree: copyfolder_bench SOURCE DEST. Prints the seconds taken and
// the bytes and files copied; run.sh compares it with cp -r of the same tree.
#include <windows.h>
#include <cstdio>
#include <string>
#include "update.h"

namespace {

void CountTree(const std::string& folder, unsigned long long& bytes, int& files) {
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        const std::string name = entry.cFileName;
        if (name == "." || name == "..") continue;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            CountTree(folder + "\\" + name, bytes, files);
        } else {
            bytes += (static_cast<unsigned long long>(entry.nFileSizeHigh) << 32) |
                     entry.nFileSizeLow;
            ++files;
        }
    } while (FindNextFileA(search, &entry));
    FindClose(search);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: copyfolder_bench SOURCE DEST\n");
        return 2;
    }
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    const auto notCopied = xqv::CopyFolder(argv[1], argv[2]);
    QueryPerformanceCounter(&end);
    unsigned long long bytes = 0;
    int files = 0;
    CountTree(argv[2], bytes, files);
    std::printf("seconds=%.3f bytes=%llu files=%d not_copied=%zu\n",
                double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart), bytes, files,
                notCopied.size());
    return notCopied.empty() ? 0 : 1;
}
