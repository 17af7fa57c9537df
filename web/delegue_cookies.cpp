// Cookie persistence: the web console's session lives in cookies, kept both in the web view's
// store and in the shared HTTP jar that the application's own requests carry. Restoring fills the
// web view from the jar at launch; saving copies the web view's cookies back into the jar.
#include "app/delegue.h"

#include <cstddef>
#include <memory>
#include <utility>
#include <vector>

namespace ovrel {

void Delegue::restaurerCookies(std::function<void()> ensuite) {
    const std::vector<Cookie> cookies = ports_.http.cookies();
    if (cookies.empty() || web_ == nullptr) {
        if (ensuite) ensuite();
        return;
    }

    // Each hand-over completes on its own; `ensuite` runs once, after the last of them. A
    // completion reported twice counts once.
    struct Compte {
        std::vector<bool> faits;
        std::size_t restants = 0;
        std::function<void()> ensuite;
    };
    auto compte = std::make_shared<Compte>();
    compte->faits.assign(cookies.size(), false);
    compte->restants = cookies.size();
    compte->ensuite = std::move(ensuite);
    for (std::size_t i = 0; i < cookies.size(); ++i) {
        web_->ajouterCookie(cookies[i], vivant_.garder([compte, i] {
            if (compte->faits[i]) return;
            compte->faits[i] = true;
            if (--compte->restants == 0 && compte->ensuite) compte->ensuite();
        }));
    }
}

void Delegue::sauvegarderCookies(std::function<void()> ensuite) {
    // While a sign-out's clear is under way the store may still hold the forgotten account.
    if (web_ == nullptr || effacementsEnCours_ > 0) {
        if (ensuite) ensuite();
        return;
    }
    const std::uint64_t effacementsAvant = effacements_;
    web_->cookies(vivant_.garder([this, effacementsAvant, ensuite = std::move(ensuite)](std::vector<Cookie> cookies) {
        // A sign-out came in between: what was read belongs to the forgotten account.
        if (effacements_ == effacementsAvant) {
            // Same name, domain and path replaces; nothing is ever removed from the jar here.
            for (const Cookie& c : cookies) ports_.http.ajouterCookie(c);
        }
        if (ensuite) ensuite();
    }));
}

void Delegue::effacerDonneesWeb() {
    ++effacements_;
    ++effacementsEnCours_;
    if (web_ == nullptr) {
        // Made by preparerVueWeb when the view comes, before any copy into it or any load.
        ++effacementsDifferes_;
        return;
    }
    web_->effacerDonnees(vivant_.garder([this] { --effacementsEnCours_; }));
}

}  // namespace ovrel
