#include "tests/faux/dialogues_faux.h"

#include <algorithm>
#include <utility>

namespace ovrel {

void DialoguesFaux::montrer(DialogueMontre d) {
    montres.push_back(std::move(d));
    if (pendant) {
        auto hook = std::move(pendant);
        pendant = nullptr;
        ++dansUnDialogue_;
        hook();
        --dansUnDialogue_;
    }
}

void DialoguesFaux::alerte(const std::string& titre, const std::string& message) {
    montrer({GenreDialogue::alerte, titre, message, {"OK"}, {}, false});
}

int DialoguesFaux::question(const std::string& titre, const std::string& message,
                            const std::vector<std::string>& boutons) {
    montrer({GenreDialogue::question, titre, message, boutons, {}, false});
    // A question nobody scripted is dismissed, as closing the dialog does.
    constexpr int fermee = -1;
    if (reponses.empty()) {
        ++questionsSansReponse;
        return fermee;
    }
    auto reponse = std::move(reponses.front());
    reponses.pop_front();
    if (const int* index = std::get_if<int>(&reponse)) return *index;
    const auto& texte = std::get<std::string>(reponse);
    auto trouve = std::find(boutons.begin(), boutons.end(), texte);
    if (trouve == boutons.end()) {
        ++questionsSansReponse;
        return fermee;
    }
    return static_cast<int>(trouve - boutons.begin());
}

std::optional<std::string> DialoguesFaux::saisie(const std::string& titre, const std::string& message,
                                                 const std::string& texteInitial) {
    montrer({GenreDialogue::saisie, titre, message, {"OK", "Annuler"}, texteInitial, false});
    if (saisies.empty()) return std::nullopt;
    auto r = std::move(saisies.front());
    saisies.pop_front();
    return r;
}

std::optional<std::filesystem::path> DialoguesFaux::enregistrer(const std::string& titre,
                                                                const std::string& nomPropose) {
    montrer({GenreDialogue::enregistrer, titre, {}, {}, nomPropose, false});
    if (fichiers.empty()) return std::nullopt;
    auto r = std::move(fichiers.front());
    fichiers.pop_front();
    return r;
}

std::vector<std::filesystem::path> DialoguesFaux::ouvrir(const std::string& titre, const std::string& message,
                                                         const std::string& bouton, bool plusieurs) {
    montrer({GenreDialogue::ouvrir, titre, message, {}, bouton, plusieurs});
    if (ouvertures.empty()) return {};
    auto r = std::move(ouvertures.front());
    ouvertures.pop_front();
    return r;
}

std::optional<std::filesystem::path> DialoguesFaux::dossier(const std::string& titre, const std::string& message) {
    montrer({GenreDialogue::dossier, titre, message, {}, {}, false});
    if (fichiers.empty()) return std::nullopt;
    auto r = std::move(fichiers.front());
    fichiers.pop_front();
    return r;
}

}  // namespace ovrel
