#include "tests/faux/vue_web_faux.h"

#include <algorithm>
#include <utility>

namespace ovrel {

void VueWebFaux::completer(std::function<void()> suite) {
    if (retenirCookies) {
        attentes_.push_back(std::move(suite));
    } else {
        file_.surLaFilePrincipale(std::move(suite));
    }
}

void VueWebFaux::cookies(std::function<void(std::vector<Cookie>)> completion) {
    // The store is read when the answer is delivered, as a real store answers with what it
    // holds at that time.
    completer([this, completion = std::move(completion)] {
        if (completion) completion(magasin);
    });
}

void VueWebFaux::ajouterCookie(const Cookie& cookie, std::function<void()> completion) {
    auto meme = std::find_if(magasin.begin(), magasin.end(), [&](const Cookie& c) { return c.memeCle(cookie); });
    if (meme != magasin.end()) {
        *meme = cookie;
    } else {
        magasin.push_back(cookie);
    }
    completer([completion = std::move(completion)] {
        if (completion) completion();
    });
}

void VueWebFaux::effacerDonnees(std::function<void()> completion) {
    // As a real store, it is empty once the clear completes; a read answered before still
    // sees the old cookies.
    completer([this, completion = std::move(completion)] {
        magasin.clear();
        if (completion) completion();
    });
}

bool VueWebFaux::repondreScript(std::size_t index, std::optional<std::string> resultat,
                                std::optional<ErreurTransport> erreur) {
    if (index >= scripts.size() || scripts[index].repondu) return false;
    scripts[index].repondu = true;
    // Copied: the completion may evaluate another script and grow the list.
    auto completion = scripts[index].completion;
    if (completion) completion(std::move(resultat), std::move(erreur));
    return true;
}

bool VueWebFaux::libererCookies() {
    if (attentes_.empty()) return false;
    auto suite = std::move(attentes_.front());
    attentes_.pop_front();
    suite();
    return true;
}

}  // namespace ovrel
