// The readiness check: will an update of this installation go through? It runs the read-only
// parts of the update run's stages against the installation and the server, and changes
// nothing: no service is stopped or started, the database mode stays, nothing is committed.
#pragma once

#include <string>
#include <vector>

namespace xqv {

// One obstacle to the update: what was found, and what the administrator can do about it.
struct ReadinessProblem {
    std::string finding;
    std::string remedy;
};

// Checks the installation at location (as typed) with the password, logging one line per check
// (what was checked and the finding), and ends with one information dialog: ready, or the
// problems found, each with what to do. Only the checks that apply to the parts found run.
// Errors of the log itself travel on; everything the checks find is a finding.
void CheckUpdateReadiness(const std::string& location, const std::string& password,
                          const std::string& projectName);

// The text of the closing dialog for these problems (none: ready).
std::string ReadinessReport(const std::vector<ReadinessProblem>& problems);

// The first statement of a script that the server would run: comments and the directives the
// script library carries out itself (SET TERM, SET NAMES, COMMIT, ...) are passed over. Empty
// when there is none.
std::string FirstExecutableStatement(const std::string& script);

} // namespace xqv
