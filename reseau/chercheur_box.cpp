#include "reseau/chercheur_box.h"

#include <chrono>

namespace ovrel {

namespace {

// How long a box that could not be reached is given before it is asked again, doubled at each
// new try: the network's caches drop a stale address one second after a box announced its new
// one, later on a loaded machine.
constexpr std::chrono::milliseconds ATTENTE_RELANCE{1500};
constexpr int RELANCES = 2;

// The transport's own time-out: a device that takes connections and never answers. Those are not
// asked again, so that a mute device costs one query.
bool delaiDepasse(const ErreurTransport& erreur) { return erreur.domaine == "g-io-error-quark" && erreur.code == 24; }

}  // namespace

ChercheurBox::ChercheurBox(Decouverte& decouverte, Http& http, Minuteries& minuteries)
    : decouverte_(decouverte), http_(http), minuteries_(minuteries) {}

void ChercheurBox::demarrer() {
    decouverte_.arreter();
    boxes_.clear();
    relances_.clear();
    ++generation_;
    decouverte_.chercher(TYPE_SERVICE_BOX, DOMAINE_DECOUVERTE,
                         vivant_.garder([this, generation = generation_](const std::string& hote, int port) {
                             if (generation == generation_) resolu(hote, port);
                         }));
    changement();
}

void ChercheurBox::arreter() { decouverte_.arreter(); }

void ChercheurBox::resolu(const std::string& hote, int port) {
    auto box = boxResolue(hote, port);
    if (!box) return;
    // A box resolved again loses what it told before, until it answers again.
    boxes_[box->cle()] = *box;
    relances_.erase(box->cle());
    changement();
    interroger(*box, 0);
}

void ChercheurBox::interroger(const BoxTrouvee& box, int essai) {
    const auto url = urlDecouverte(box.hote, box.port);
    if (!url) return;
    RequeteHttp requete;
    requete.url = *url;
    requete.delai = std::chrono::seconds(3);
    // The shared session would still lead a box that moved to where it was.
    requete.independante = true;
    http_.envoyer(std::move(requete), vivant_.garder([this, cle = box.cle(), generation = generation_,
                                                      essai](ReponseHttp reponse) {
                      if (generation != generation_) return;
                      const auto stockee = boxes_.find(cle);
                      if (stockee == boxes_.end()) return;
                      if (!reponse.corps) {
                          if (reponse.erreur && !delaiDepasse(*reponse.erreur) && essai < RELANCES)
                              relances_[cle] = minuteries_.apres(ATTENTE_RELANCE * (1 << essai), vivant_.garder([this, cle, essai] {
                                  const auto encore = boxes_.find(cle);
                                  relances_.erase(cle);
                                  if (encore != boxes_.end()) interroger(encore->second, essai + 1);
                              }));
                          return;
                      }
                      // Whatever the status: what counts is a document of a box.
                      auto miseAJour = boxMiseAJour(stockee->second, *reponse.corps);
                      if (!miseAJour) return;
                      stockee->second = std::move(*miseAJour);
                      changement();
                  }));
}

void ChercheurBox::changement() {
    if (surChangement_) surChangement_();
}

}  // namespace ovrel
