#include "plateforme/preferences_memoire.h"

namespace ovrel {

std::optional<ValeurPreference> PreferencesMemoire::lire(std::string_view cle) const {
    auto it = valeurs_.find(cle);
    if (it == valeurs_.end()) return std::nullopt;
    return it->second;
}

bool PreferencesMemoire::ecrire(const std::vector<Modification>& modifications) {
    for (const auto& m : modifications) {
        if (m.valeur)
            valeurs_.insert_or_assign(m.cle, *m.valeur);
        else if (auto it = valeurs_.find(m.cle); it != valeurs_.end())
            valeurs_.erase(it);
    }
    return true;
}

}  // namespace ovrel
