#include "profiles.h"

namespace xqv {

namespace {

const ProfileRow rows[] = {
    {"Orvelin", "OrveLin.fdb", "OrveLin.exe", "C:\\XQV\\OrveLin", "qtrvbnzlka",
     "Updater ПО ЛЕМВ ГК \"Вельмора\": обновление проекта Orvelin"},
    {"VIZEVUDAV", "Vizevudav.fdb", "Vizevudav.exe", "C:\\XQV\\Vizevudav", "qtrvbnzlka",
     "Updater ПО ЛЕМВ ГК \"Вельмора\": обновление проекта Vizevudav"},
    {"VORNA_MINI", "Vorna_Mini.fdb", "Vorna_Mini.exe", "C:\\XQV\\Vorna_Mini", "qtrvbnzlka",
     "Updater ПО ЛЕМВ ГК \"Вельмора\": обновление проекта Vorna_Mini"},
    {"VORNA", "Vorna.fdb", "Vorna.exe", "C:\\XQV\\Vorna", "qtrvbnzlka",
     "Updater ПО ЛЕМВ ГК \"Вельмора\": обновление проекта Vorna"},
};

} // namespace

const ProfileRow& ProfileOf(Project project) {
    return rows[static_cast<int>(project)];
}

} // namespace xqv
