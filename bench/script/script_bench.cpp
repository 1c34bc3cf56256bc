// The script library against isql on the generated release script, and the splitter's speed.
//   script_bench [RUNS]   (RUNS >= 3, default 3)
// Each run takes a fresh copy of one version 6 database for each side; the two sides take
// turns. Prints the medians and the ratio ours / isql, then the splitter's throughput on the
// script and on about 100 MB of it.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>
#include "errors.h"
#include "fb_client.h"
#include "release_script_generator.h"
#include "script_runner.h"
#include "script_splitter.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

const std::string kFolder = std::string(XQV_BENCH_TESTENV_DIR) + "/script";
const std::string kServer = "127.0.0.1/3051:";

std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// The SYSDBA password of the test server, from the one file that names it.
std::string Password() {
    std::istringstream conf(ReadFile(std::string(XQV_BENCH_SOURCE_DIR) + "/testenv/testenv.conf"));
    for (std::string line; std::getline(conf, line);)
        if (line.rfind("FB_PASSWORD=", 0) == 0) return line.substr(12);
    return "";
}

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void RunOurs(const std::string& file, const std::string& script, const std::string& password) {
    xqv::RunScriptText(xqv::fb::PlatformClientLibraryName(), kServer + file, "SYSDBA", "WIN1251",
                       password, "", script, nullptr, 1);
}

void CreateTemplate(const std::string& file, const std::string& password) {
    fs::remove(file);
    std::string dpb = {1, char(isc_dpb_user_name), 6};
    dpb += "SYSDBA";
    dpb += char(isc_dpb_password);
    dpb += char(password.size());
    dpb += password;
    dpb += std::string{char(isc_dpb_page_size), 4, 0, 0x20, 0, 0};
    dpb += std::string{char(isc_dpb_sql_dialect), 1, 3};
    dpb += std::string{char(isc_dpb_set_db_charset), 7} + "WIN1251";
    xqv::fb::Attachment db(xqv::fb::ClientLibrary::Load(xqv::fb::PlatformClientLibraryName()));
    db.Create(kServer + file, dpb);
    db.Detach();
    RunOurs(file, ReadFile(std::string(XQV_BENCH_SOURCE_DIR) + "/release/script/schema_v6.sql"),
            password);
}

double SplitterMBps(const std::string& text, int repeats) {
    std::vector<double> times;
    size_t count = 0;
    for (int i = 0; i < repeats; ++i) {
        const auto start = Clock::now();
        xqv::script::StatementSplitter splitter(text);
        xqv::script::Statement statement;
        count = 0;
        while (splitter.Next(statement))
            ++count;
        times.push_back(Seconds(start));
    }
    return double(text.size()) / 1e6 / Median(times);
}

} // namespace

int main(int argc, char** argv) {
    const int runs = std::max(3, argc > 1 ? std::atoi(argv[1]) : 3);
    const std::string password = Password();
    fs::create_directories(kFolder);
    const std::string script = xqv::bench::GenerateReleaseScript();
    const std::string isqlFile = kFolder + "/bench_release_isql.sql";
    std::ofstream(isqlFile, std::ios::binary) << xqv::bench::ForIsql(script);
    const size_t statements = xqv::script::SplitScript(script).size();
    std::printf("script: %zu bytes, %ld lines, %zu statements\n", script.size(),
                long(std::count(script.begin(), script.end(), '\n')), statements);

    try {
        const std::string templateFile = kFolder + "/bench_template.fdb";
        CreateTemplate(templateFile, password);
        const std::string oursFile = kFolder + "/bench_ours.fdb";
        const std::string isqlDb = kFolder + "/bench_isql.fdb";
        const std::string isqlCommand = "isql-fb -q -b -ch WIN1251 -user SYSDBA -password '" +
                                        password + "' -i " + isqlFile + " " + kServer + isqlDb +
                                        " > " + kFolder + "/bench_isql.log 2>&1";
        std::vector<double> ours, isql;
        for (int run = 0; run < runs; ++run) {
            for (int side = 0; side < 2; ++side) {
                const bool oursNow = (side == 0) == (run % 2 == 0);
                const std::string& file = oursNow ? oursFile : isqlDb;
                fs::copy_file(templateFile, file, fs::copy_options::overwrite_existing);
                const auto start = Clock::now();
                if (oursNow) {
                    RunOurs(file, script, password);
                    ours.push_back(Seconds(start));
                } else {
                    if (std::system(isqlCommand.c_str()) != 0) {
                        std::fprintf(stderr, "isql failed, see %s/bench_isql.log\n",
                                     kFolder.c_str());
                        return 1;
                    }
                    isql.push_back(Seconds(start));
                }
            }
            std::printf("run %d: ours %.2f s, isql %.2f s\n", run + 1, ours.back(), isql.back());
        }
        for (const std::string& file : {templateFile, oursFile, isqlDb})
            fs::remove(file);
        std::printf("median: ours %.2f s, isql %.2f s\n", Median(ours), Median(isql));
        std::printf("ratio ours / isql: %.2f (goal: at most 0.7)\n", Median(ours) / Median(isql));
    } catch (const xqv::Error& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }

    std::printf("splitter on the script: %.0f MB/s\n", SplitterMBps(script, 21));
    std::string big;
    while (big.size() < 100u * 1000 * 1000)
        big += script;
    std::printf("splitter on %zu MB: %.0f MB/s\n", big.size() / 1000000, SplitterMBps(big, 3));
    return 0;
}
