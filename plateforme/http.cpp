#include "plateforme/http.h"

#include "plateforme/adresse.h"

namespace ovrel {

std::optional<std::string> ReponseHttp::entete(std::string_view nom) const {
    const std::string cherche = minuscules(nom);
    for (const auto& [cle, valeur] : entetes)
        if (minuscules(cle) == cherche) return valeur;
    return std::nullopt;
}

}  // namespace ovrel
