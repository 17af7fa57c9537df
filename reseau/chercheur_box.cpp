#include "reseau/chercheur_box.h"

#include <chrono>

namespace ovrel {

ChercheurBox::ChercheurBox(Decouverte& decouverte, Http& http) : decouverte_(decouverte), http_(http) {}

void ChercheurBox::demarrer() {
    decouverte_.arreter();
    boxes_.clear();
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
    changement();
    interroger(*box);
}

void ChercheurBox::interroger(const BoxTrouvee& box) {
    const auto url = urlDecouverte(box.hote, box.port);
    if (!url) return;
    RequeteHttp requete;
    requete.url = *url;
    requete.delai = std::chrono::seconds(3);
    http_.envoyer(std::move(requete), vivant_.garder([this, cle = box.cle(), generation = generation_](ReponseHttp reponse) {
                      // Whatever the status: what counts is a document of a box.
                      if (generation != generation_ || !reponse.corps) return;
                      const auto stockee = boxes_.find(cle);
                      if (stockee == boxes_.end()) return;
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
