#include "plateforme/preferences.h"

namespace ovrel {

std::optional<std::string> Preferences::texte(std::string_view cle) const {
    auto v = lire(cle);
    if (v)
        if (auto* t = std::get_if<std::string>(&*v)) return std::move(*t);
    return std::nullopt;
}

std::optional<double> Preferences::nombre(std::string_view cle) const {
    auto v = lire(cle);
    if (v)
        if (auto* n = std::get_if<double>(&*v)) return *n;
    return std::nullopt;
}

std::optional<std::string> Preferences::octets(std::string_view cle) const {
    auto v = lire(cle);
    if (v)
        if (auto* o = std::get_if<Octets>(&*v)) return std::move(o->donnees);
    return std::nullopt;
}

bool Preferences::ecrireTexte(std::string_view cle, std::string valeur) {
    return ecrire({Modification{std::string(cle), ValeurPreference{std::move(valeur)}}});
}

bool Preferences::ecrireNombre(std::string_view cle, double valeur) {
    return ecrire({Modification{std::string(cle), ValeurPreference{valeur}}});
}

bool Preferences::ecrireOctets(std::string_view cle, std::string valeur) {
    return ecrire({Modification{std::string(cle), ValeurPreference{Octets{std::move(valeur)}}}});
}

bool Preferences::supprimer(std::string_view cle) {
    return ecrire({Modification{std::string(cle), std::nullopt}});
}

}  // namespace ovrel
