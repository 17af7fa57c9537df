// The downloads under way: where each is being written, from the user's choice of a file until
// it finishes or fails.
#pragma once

#include "plateforme/vue_web.h"

#include <filesystem>
#include <map>
#include <optional>

namespace ovrel {

class Telechargements {
public:
    void destinationChoisie(IdTelechargement id, std::filesystem::path fichier) { destinations_[id] = std::move(fichier); }
    // The file of a download that ended (it leaves the list); absent when none was chosen.
    std::optional<std::filesystem::path> fin(IdTelechargement id);

private:
    std::map<IdTelechargement, std::filesystem::path> destinations_;
};

}  // namespace ovrel
