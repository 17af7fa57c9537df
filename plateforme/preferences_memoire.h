// In-memory user defaults, for tests and for runs where no file can be written.
#pragma once

#include "plateforme/preferences.h"

#include <map>

namespace ovrel {

class PreferencesMemoire final : public Preferences {
public:
    std::optional<ValeurPreference> lire(std::string_view cle) const override;
    bool ecrire(const std::vector<Modification>& modifications) override;

    bool contient(std::string_view cle) const { return valeurs_.find(cle) != valeurs_.end(); }
    std::size_t taille() const { return valeurs_.size(); }

private:
    std::map<std::string, ValeurPreference, std::less<>> valeurs_;
};

}  // namespace ovrel
