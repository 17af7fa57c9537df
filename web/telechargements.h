// The downloads under way: where each is being written, from the user's choice of a file until
// it finishes or fails, and which of them are the booklet of a label sheet.
#pragma once

#include "plateforme/vue_web.h"

#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace ovrel {

class Telechargements {
public:
    // A response about to become a download is a booklet; its download is recognised by its
    // address when it starts.
    void livretAttendu(std::string url) { livretsAttendus_.push_back(std::move(url)); }
    // A download started: it is a booklet when its address is one awaited (taken once).
    void commence(IdTelechargement id, const std::optional<std::string>& url);

    void destinationChoisie(IdTelechargement id, std::filesystem::path fichier) { destinations_[id] = std::move(fichier); }

    struct Fin {
        std::optional<std::filesystem::path> fichier;  // absent when none was chosen
        bool livret = false;
    };
    // A download ended (finished or failed): it leaves every list.
    Fin fin(IdTelechargement id);

private:
    std::map<IdTelechargement, std::filesystem::path> destinations_;
    std::set<IdTelechargement> livrets_;
    std::vector<std::string> livretsAttendus_;
};

}  // namespace ovrel
