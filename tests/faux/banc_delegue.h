// The application object wired to a fake of every port, for the flow tests. The clock starts at
// a fixed date; the web view is attached as the window would attach it.
#pragma once

#include "app/delegue.h"
#include "plateforme/preferences_memoire.h"
#include "tests/faux/decouverte_faux.h"
#include "tests/faux/dialogues_faux.h"
#include "tests/faux/ecran_atelier_faux.h"
#include "tests/faux/ecran_box_faux.h"
#include "tests/faux/ecran_parc_faux.h"
#include "tests/faux/ecrans_faux.h"
#include "tests/faux/http_faux.h"
#include "tests/faux/journal_atelier_faux.h"
#include "tests/faux/minuteries_faux.h"
#include "tests/faux/navigateur_faux.h"
#include "tests/faux/processus_faux.h"
#include "tests/faux/systeme_faux.h"
#include "tests/faux/vue_web_faux.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>

namespace ovrel {

// A cookie with what the tests look at; the rest takes its defaults.
inline Cookie cookieEssai(std::string nom, std::string valeur, std::string domaine, std::string chemin = "/") {
    Cookie c;
    c.nom = std::move(nom);
    c.valeur = std::move(valeur);
    c.domaine = std::move(domaine);
    c.chemin = std::move(chemin);
    return c;
}

struct BancDelegue {
    HorlogeManuelle horloge{instantDepuis1970(1'700'000'000)};
    MinuteriesFaux minuteries{horloge};
    HttpFaux http{minuteries};
    PreferencesMemoire preferences;
    DialoguesFaux dialogues;
    EcransFaux ecrans;
    SystemeFaux systeme;
    VueWebFaux vue{minuteries};
    NavigateurFaux navigateur;
    EcranParcFaux ecranParc;
    DecouverteFaux decouverte;
    EcranBoxFaux ecranBox;
    EcranAtelierFaux ecranAtelier;
    JournalAtelierFaux journalAtelier;
    ProcessusFaux processus{minuteries};
    std::unique_ptr<Delegue> delegue = std::make_unique<Delegue>(ports(), Configuration{});

    PortsDelegue ports() {
        return {http,       preferences, horloge,   minuteries,   dialogues,    ecrans,         systeme,
                navigateur, ecranParc,   decouverte, ecranBox,    ecranAtelier, journalAtelier, processus};
    }
    // The application object made again, told `configuration` at start, its view attached.
    void refaireDelegue(Configuration configuration) {
        delegue.reset();
        delegue = std::make_unique<Delegue>(ports(), std::move(configuration));
        delegue->attacherVueWeb(&vue);
    }

    BancDelegue() { delegue->attacherVueWeb(&vue); }

    // The web view commits `url` in its main frame, as the engine reports it.
    void engager(std::optional<std::string> url) {
        vue.url = std::move(url);
        ASSERT_NE(vue.ecouteur, nullptr);
        vue.ecouteur->adresseEngagee();
    }
};

}  // namespace ovrel
