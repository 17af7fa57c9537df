#include "web/telechargements.h"

#include <algorithm>

namespace ovrel {

void Telechargements::commence(IdTelechargement id, const std::optional<std::string>& url) {
    if (!url) return;
    const auto attendu = std::find(livretsAttendus_.begin(), livretsAttendus_.end(), *url);
    if (attendu == livretsAttendus_.end()) return;
    livretsAttendus_.erase(attendu);
    livrets_.insert(id);
}

Telechargements::Fin Telechargements::fin(IdTelechargement id) {
    Fin fin;
    fin.livret = livrets_.erase(id) > 0;
    if (const auto trouve = destinations_.find(id); trouve != destinations_.end()) {
        fin.fichier = std::move(trouve->second);
        destinations_.erase(trouve);
    }
    return fin;
}

}  // namespace ovrel
