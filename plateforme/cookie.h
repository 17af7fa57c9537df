// A cookie as both stores hold it: the web view's store and the shared HTTP jar.
#pragma once

#include "plateforme/horloge.h"

#include <optional>
#include <string>

namespace ovrel {

struct Cookie {
    std::string nom;
    std::string valeur;
    std::string domaine;                 // as stored, possibly with a leading "."
    std::string chemin = "/";
    std::optional<Instant> expiration;   // absent for a session cookie
    bool securise = false;
    bool httpSeulement = false;
    std::string sameSite;                // "", "Lax", "Strict" or "None"

    // Two cookies with the same name, domain and path are the same cookie.
    bool memeCle(const Cookie& autre) const {
        return nom == autre.nom && domaine == autre.domaine && chemin == autre.chemin;
    }
    bool operator==(const Cookie&) const = default;
};

}  // namespace ovrel
