#include "web/telechargements.h"

namespace ovrel {

std::optional<std::filesystem::path> Telechargements::fin(IdTelechargement id) {
    const auto trouve = destinations_.find(id);
    if (trouve == destinations_.end()) return std::nullopt;
    std::filesystem::path fichier = std::move(trouve->second);
    destinations_.erase(trouve);
    return fichier;
}

}  // namespace ovrel
