// The default browser for tests: records every session (its page, its return scheme, whether it
// was started or dropped) and lets the test play the browser's part: come back with an address,
// fail, or never answer. Completions of a dropped session are not delivered, as the real
// adapter never delivers them.
#pragma once

#include "plateforme/session_navigateur.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ovrel {

class NavigateurFaux final : public NavigateurConnexion {
public:
    struct Session final : SessionNavigateur {
        std::string url;
        std::optional<std::string> schemaRappel;
        Completion completion;
        bool demarree = false;
        bool annulee = false;
        bool terminee = false;
        // Whether a browser answers `demarrer`.
        bool disponible = true;

        bool demarrer() override {
            if (demarree || annulee || !disponible) return false;
            demarree = true;
            return true;
        }
        void annuler() override { annulee = true; }
    };

    std::shared_ptr<SessionNavigateur> creer(const std::string& url, const std::optional<std::string>& schemaRappel,
                                             Completion completion) override {
        auto session = std::make_shared<Session>();
        session->url = url;
        session->schemaRappel = schemaRappel;
        session->completion = std::move(completion);
        session->disponible = navigateurDisponible;
        sessions.push_back(session);
        return session;
    }

    // The started sign-in session still waiting whose return scheme is this address's takes it
    // (as the real adapter, it completes later: here at once, the test drains nothing).
    bool recevoirRetour(const std::string& adresse) override {
        retoursRecus.push_back(adresse);
        const auto deuxPoints = adresse.find(':');
        if (deuxPoints == std::string::npos) return false;
        std::string schema = adresse.substr(0, deuxPoints);
        for (char& c : schema) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        for (std::size_t i = 0; i < sessions.size(); ++i) {
            const Session& s = *sessions[i];
            if (s.schemaRappel == schema && s.demarree && !s.annulee && !s.terminee) return terminer(i, adresse);
        }
        return false;
    }
    // Every address handed to `recevoirRetour`.
    std::vector<std::string> retoursRecus;

    // Every session made, in order.
    std::vector<std::shared_ptr<Session>> sessions;
    // Whether the sessions made from now on can open their page.
    bool navigateurDisponible = true;

    // The browser of session `index` comes back (or fails). False when that session does not
    // exist, was never started, was dropped or has completed already: nothing is delivered then.
    bool terminer(std::size_t index, std::optional<std::string> url,
                  std::optional<ErreurTransport> erreur = std::nullopt) {
        if (index >= sessions.size()) return false;
        Session& s = *sessions[index];
        if (!s.demarree || s.annulee || s.terminee) return false;
        s.terminee = true;
        // Copied: the completion may start another session and grow the list.
        auto completion = s.completion;
        if (completion) completion(std::move(url), std::move(erreur));
        return true;
    }
};

}  // namespace ovrel
