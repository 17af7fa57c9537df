// The web view for tests: records loads and scripts, lets the test answer each script (or never),
// and keeps a cookie store in memory whose completions go through the main queue or wait for
// the test.
#pragma once

#include "plateforme/minuteries.h"
#include "plateforme/vue_web.h"

#include <chrono>
#include <cstddef>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace ovrel {

struct ChargementWeb {
    std::string url;
    std::chrono::milliseconds delai;

    bool operator==(const ChargementWeb&) const = default;
};

struct ScriptEvalue {
    std::string script;
    VueWeb::ResultatScript completion;
    bool repondu = false;
};

class VueWebFaux final : public VueWeb {
public:
    explicit VueWebFaux(Minuteries& filePrincipale) : file_(filePrincipale) {}

    void definirEcouteur(EvenementsVueWeb* e) override { ecouteur = e; }
    void ecouterMessages(const std::string& nom) override { messagesEcoutes.push_back(nom); }

    // Records the load; the current address changes only when the test says so (`url`), as a
    // real view changes it only once a page is committed.
    void charger(const std::string& adresse, std::chrono::milliseconds delai) override {
        chargements.push_back({adresse, delai});
    }
    void preparer() override { ++preparations; }
    void recharger() override { ++rechargements; }
    std::optional<std::string> urlCourante() const override { return url; }
    std::string titre() const override { return titrePage; }
    void ajouterScript(const std::string& source) override { scriptsAjoutes.push_back(source); }
    // Records the print; the test ends it with `finirImpression`.
    void imprimer(const std::string& titreTravail, std::function<void(bool)> fin) override {
        impressions.push_back(titreTravail);
        finImpression_ = std::move(fin);
    }
    // Ends the print under way as the user did (true: printed); false when none is under way.
    bool finirImpression(bool reussie) {
        if (!finImpression_) return false;
        auto fin = std::move(finImpression_);
        finImpression_ = nullptr;
        fin(reussie);
        return true;
    }
    void evaluer(const std::string& script, ResultatScript completion) override {
        scripts.push_back({script, std::move(completion), false});
    }

    void cookies(std::function<void(std::vector<Cookie>)> completion) override;
    void ajouterCookie(const Cookie& cookie, std::function<void()> completion) override;
    void effacerDonnees(std::function<void()> completion) override;

    // The listener the application object installed, for the test to play the view's events.
    EvenementsVueWeb* ecouteur = nullptr;
    std::vector<std::string> messagesEcoutes;
    std::vector<std::string> scriptsAjoutes;
    std::string titrePage;
    std::vector<std::string> impressions;  // the job titles, in order

    std::optional<std::string> url;
    std::vector<ChargementWeb> chargements;
    int preparations = 0;
    int rechargements = 0;
    std::vector<ScriptEvalue> scripts;

    // Answers script `index` (once; false when it does not exist or was answered already).
    bool repondreScript(std::size_t index, std::optional<std::string> resultat,
                        std::optional<ErreurTransport> erreur = std::nullopt);

    // The cookie store, in insertion order. A cookie handed over is in the store at once; its
    // completion follows.
    std::vector<Cookie> magasin;
    // When true, cookie-store completions wait until `libererCookies`; otherwise they go to the
    // main queue.
    bool retenirCookies = false;
    std::size_t completionsCookiesEnAttente() const { return attentes_.size(); }
    // Runs the oldest waiting cookie-store completion; false when none waits.
    bool libererCookies();

private:
    Minuteries& file_;
    std::deque<std::function<void()>> attentes_;
    std::function<void(bool)> finImpression_;

    void completer(std::function<void()> suite);
};

}  // namespace ovrel
