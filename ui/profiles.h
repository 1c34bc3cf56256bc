// The four project profiles compiled into the updater.
#pragma once

#include <string>

namespace xqv {

struct ProfileRow {
    const char* ProjectName;
    const char* DatabaseFileName;
    const char* ClientExeName;
    const char* Location;
    const char* Password;
    const char* Caption;
};

enum class Project { OrveLin, Vizevudav, VornaMini, Vorna };

const ProfileRow& ProfileOf(Project project);

} // namespace xqv
