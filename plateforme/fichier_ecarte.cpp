#include "plateforme/fichier_ecarte.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <string>

namespace ovrel {

namespace {

std::string horodatage(Instant instant) {
    const std::time_t t = std::chrono::system_clock::to_time_t(instant);
    std::tm tm{};
    char texte[32] = "";
    if (::gmtime_r(&t, &tm) == nullptr || std::strftime(texte, sizeof texte, "%Y%m%d-%H%M%S", &tm) == 0)
        return "0";
    return texte;
}

bool existe(const std::filesystem::path& chemin) {
    struct stat etat {};
    return ::lstat(chemin.c_str(), &etat) == 0;
}

}  // namespace

std::optional<std::filesystem::path> ecarterFichierIllisible(const std::filesystem::path& fichier, Instant maintenant) {
    const std::string base = fichier.string() + ".illisible-" + horodatage(maintenant);
    std::filesystem::path cible = base;
    for (int n = 1; existe(cible); ++n) {
        if (n > 1000) return std::nullopt;
        cible = base + "-" + std::to_string(n);
    }
    if (::rename(fichier.c_str(), cible.c_str()) != 0) return std::nullopt;
    for (const char* suffixe : {"-wal", "-journal"}) {
        const std::string compagnon = fichier.string() + suffixe;
        if (existe(compagnon)) ::rename(compagnon.c_str(), (cible.string() + suffixe).c_str());
    }
    ::unlink((fichier.string() + "-shm").c_str());
    return cible;
}

}  // namespace ovrel
