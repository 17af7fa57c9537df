// The native fleet screen drawn by GTK with the simulator's mixed fleet: the application object
// fills it, a click on a badge opens its row's anomalies, the search and a colour counter filter
// the rows. A picture of the screen with one row open is kept. With a large generated fleet, no
// painted frame shows a row of an older list once a new one is given, scrolled or not.
#include "app/constantes.h"
#include "app/delegue.h"
#include "app/gtk/fenetre_ovrel.h"
#include "app/gtk/vue_parc.h"
#include "bench/generateur_parc.h"
#include "parc/modele_parc.h"
#include "sante/lecture_parc.h"
#include "plateforme/preferences_memoire.h"
#include "tests/faux/decouverte_faux.h"
#include "tests/faux/dialogues_faux.h"
#include "tests/faux/ecran_atelier_faux.h"
#include "tests/faux/journal_atelier_faux.h"
#include "tests/faux/processus_faux.h"
#include "tests/faux/ecran_box_faux.h"
#include "tests/faux/ecrans_faux.h"
#include "tests/faux/http_faux.h"
#include "tests/faux/minuteries_faux.h"
#include "tests/faux/navigateur_faux.h"
#include "tests/faux/systeme_faux.h"
#include "tests/faux/vue_web_faux.h"
#include "tests/gtk/outils_gtk.h"
#include "tests/simulateur/support.h"

#include <gtest/gtest.h>
#include <gtkmm.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <vector>

namespace ovrel {
namespace {

using essais::attendre;

template <class T>
void chercher(Gtk::Widget& racine, std::vector<T*>& trouves) {
    if (auto* t = dynamic_cast<T*>(&racine)) trouves.push_back(t);
    for (auto* enfant = racine.get_first_child(); enfant; enfant = enfant->get_next_sibling()) chercher(*enfant, trouves);
}

template <class T>
std::vector<T*> tous(Gtk::Widget& racine) {
    std::vector<T*> trouves;
    chercher(racine, trouves);
    return trouves;
}

// The widget drawn by its own renderer, as a PNG; the number of pixels close to `couleur`.
int capturer(Gtk::Widget& widget, const std::filesystem::path& fichier, const Couleur& couleur) {
    const int l = widget.get_width(), h = widget.get_height();
    GdkPaintable* peinture = gtk_widget_paintable_new(widget.gobj());
    GtkSnapshot* instantane = gtk_snapshot_new();
    gdk_paintable_snapshot(peinture, instantane, l, h);
    GskRenderNode* noeud = gtk_snapshot_free_to_node(instantane);
    GskRenderer* rendu = gtk_native_get_renderer(gtk_widget_get_native(widget.gobj()));
    GdkTexture* texture = gsk_renderer_render_texture(rendu, noeud, nullptr);
    std::filesystem::create_directories(fichier.parent_path());
    gdk_texture_save_to_png(texture, fichier.c_str());
    std::vector<guchar> octets(static_cast<std::size_t>(l) * static_cast<std::size_t>(h) * 4);
    gdk_texture_download(texture, octets.data(), static_cast<gsize>(l) * 4);
    int proches = 0;
    for (std::size_t i = 0; i + 3 < octets.size(); i += 4) {
        // Cairo's order: blue, green, red, alpha.
        const auto pres = [](guchar v, double c) { return std::abs(v - c * 255) < 12; };
        if (pres(octets[i + 2], couleur.rouge) && pres(octets[i + 1], couleur.vert) && pres(octets[i], couleur.bleu)) ++proches;
    }
    g_object_unref(texture);
    gsk_render_node_unref(noeud);
    g_object_unref(peinture);
    return proches;
}

TEST(VueParcGtk, LeParcDuSimulateurSAfficheSeDeplieEtSeFiltre) {
    auto& simulateur = essais::Simulateur::instance();
    etablirConfiguration(Configuration{simulateur.base() + "/studio", std::nullopt, std::nullopt});
    const auto document = essais::obtenir(simulateur.base() + "/studio/api/parc", simulateur.cookie("installateur"));
    ASSERT_EQ(document.statut, 200) << document.corps;

    HorlogeManuelle horloge{std::chrono::system_clock::now()};
    MinuteriesFaux minuteries{horloge};
    HttpFaux http{minuteries};
    http.scripter(URL_PARC(), HttpFaux::reponse(200, document.corps));
    PreferencesMemoire preferences;
    DialoguesFaux dialogues;
    EcransFaux ecrans;
    SystemeFaux systeme;
    NavigateurFaux navigateur;
    VueWebFaux web{minuteries};
    EcranParcGtk ecranParc;
    DecouverteFaux decouverte;
    EcranBoxFaux ecranBox;
    EcranAtelierFaux ecranAtelier;
    JournalAtelierFaux journalAtelier;
    ProcessusFaux processus{minuteries};

    // The application's dark identity, as the launcher sets it.
    if (auto reglages = Gtk::Settings::get_default()) reglages->property_gtk_application_prefer_dark_theme() = true;
    installerStyleOvrel();
    Gtk::Window fenetre;
    fenetre.set_default_size(1200, 900);
    auto* vue = Gtk::make_managed<VueParc>();
    fenetre.set_child(*vue);
    ecranParc.attacher(vue);
    Delegue delegue(PortsDelegue{http, preferences, horloge, minuteries, dialogues, ecrans, systeme, navigateur, ecranParc, decouverte, ecranBox, ecranAtelier, journalAtelier, processus},
                    Configuration{});
    delegue.attacherVueWeb(&web);
    vue->surBasculer = [&](const std::string& id) { delegue.basculerAnomalies(id); };
    fenetre.present();

    delegue.montrerParc(true);
    minuteries.vider();
    ASSERT_FALSE(delegue.parc().empty());
    const std::size_t total = delegue.parc().size();
    ASSERT_TRUE(attendre([&] { return tous<VuePastille>(*vue).size() >= total; }));

    // A click on the badge of a box with anomalies opens them under its row, once.
    std::size_t avecAnomalies = total;
    for (std::size_t i = 0; i < total; ++i)
        if (!delegue.parc()[i].sante.anomalies.empty()) {
            avecAnomalies = i;
            break;
        }
    ASSERT_LT(avecAnomalies, total) << "le parc du simulateur devrait avoir une box en anomalie";
    const auto& box = delegue.parc()[avecAnomalies];
    const auto boutonsAvant = tous<Gtk::Button>(*vue).size();
    VuePastille* pastille = nullptr;
    for (auto* p : tous<VuePastille>(*vue))
        if (p->infobulle().find(box.sante.resume) != std::string::npos) pastille = p;
    ASSERT_NE(pastille, nullptr);
    pastille->activate();
    ASSERT_TRUE(attendre([&] { return tous<Gtk::Button>(*vue).size() > boutonsAvant; }));
    const std::size_t actions = static_cast<std::size_t>(
        std::count_if(box.sante.anomalies.begin(), box.sante.anomalies.end(), [](const auto& a) { return a.action.has_value(); }));
    EXPECT_EQ(tous<Gtk::Button>(*vue).size(), boutonsAvant + actions);

    // The picture: the header's red counter and the open row's red dots.
    essais::laisserTourner(std::chrono::milliseconds(300));
    const int rouges = capturer(fenetre, std::filesystem::path(OVREL_CAPTURES) / "parc-natif.png",
                                teinteSante(CouleurSante::rouge));
    EXPECT_GT(rouges, 40);

    pastille->activate();
    ASSERT_TRUE(attendre([&] { return tous<Gtk::Button>(*vue).size() == boutonsAvant; }));

    // The search keeps the rows whose name or serial matches, whatever the letter case or accents.
    vue->recherche().set_text(box.serie.substr(0, box.serie.size() - 1) + std::string(1, box.serie.back()));
    ASSERT_TRUE(attendre([&] { return vue->lignesFiltrees() == std::vector<std::size_t>{avecAnomalies}; }));
    vue->recherche().set_text("");
    ASSERT_TRUE(attendre([&] { return vue->lignesFiltrees().size() == total; }));
    // A colour counter keeps that colour's rows only.
    vue->filtrerCouleur(box.sante.couleur);
    for (std::size_t i : vue->lignesFiltrees()) EXPECT_EQ(delegue.parc()[i].sante.couleur, box.sante.couleur);
    EXPECT_LT(vue->lignesFiltrees().size(), total);
    vue->filtrerCouleur(std::nullopt);
    EXPECT_EQ(vue->lignesFiltrees().size(), total);

    fenetre.unset_child();
}

// The names of the rows that show in the list's viewport.
std::vector<std::string> nomsALEcran(VueParc& vue) {
    auto defilements = tous<Gtk::ScrolledWindow>(vue);
    if (defilements.empty()) return {};
    Gtk::ScrolledWindow& defilement = *defilements.front();
    std::vector<std::string> noms;
    for (auto* etiquette : tous<Gtk::Label>(defilement)) {
        if (!etiquette->has_css_class("ovrel-ligne-nom") || !etiquette->get_mapped()) continue;
        graphene_rect_t cadre;
        if (!gtk_widget_compute_bounds(GTK_WIDGET(etiquette->gobj()), GTK_WIDGET(defilement.gobj()), &cadre)) continue;
        if (cadre.origin.y + cadre.size.height > 0 && cadre.origin.y < defilement.get_height())
            noms.push_back(etiquette->get_text());
    }
    return noms;
}

TEST(VueParcGtk, AucuneImageNeMontreUneLigneDeLAncienneListe) {
    installerStyleOvrel();
    Gtk::Window fenetre;
    fenetre.set_default_size(1200, 900);
    auto* vue = Gtk::make_managed<VueParc>();
    fenetre.set_child(*vue);
    fenetre.present();
    const auto lecture = lireParc(bench::genererParc(2000), true);
    ASSERT_TRUE(lecture);
    const auto premiere = modeleListe(lecture->ovrels, {}, nullptr);
    vue->afficherListe(premiere);
    ASSERT_TRUE(attendre([&] { return nomsALEcran(*vue).size() >= 3; }));

    // Every painted frame from now on is checked.
    std::vector<std::string> perimes;
    std::function<void()> verifier = [&] {
        for (const auto& nom : nomsALEcran(*vue))
            if (nom.find("(nouvelle)") == std::string::npos) perimes.push_back(nom);
    };
    auto horloge = fenetre.get_frame_clock();
    const gulong id = g_signal_connect(horloge->gobj(), "after-paint",
                                       G_CALLBACK(+[](GdkFrameClock*, gpointer f) { (*static_cast<std::function<void()>*>(f))(); }),
                                       &verifier);
    auto nouvelle = premiere;
    for (auto& ligne : nouvelle.lignes) ligne.nom += " (nouvelle)";
    vue->afficherListe(nouvelle);
    // A scroll of one screenful, before the main loop has had a turn, then more as it runs.
    auto ajustement = tous<Gtk::ScrolledWindow>(*vue).front()->get_vadjustment();
    ajustement->set_value(ajustement->get_value() + ajustement->get_page_size());
    int images = 0;
    const gulong compteur = g_signal_connect(horloge->gobj(), "after-paint",
                                             G_CALLBACK(+[](GdkFrameClock*, gpointer n) { ++*static_cast<int*>(n); }), &images);
    for (int pas = 0; pas < 4; ++pas) {
        const int avant = images;
        ASSERT_TRUE(attendre([&] { return images > avant; }));
        ajustement->set_value(ajustement->get_value() + ajustement->get_page_size() / 2);
    }
    essais::laisserTourner(std::chrono::milliseconds(500));
    g_signal_handler_disconnect(horloge->gobj(), id);
    g_signal_handler_disconnect(horloge->gobj(), compteur);
    EXPECT_TRUE(perimes.empty()) << perimes.size() << " lignes périmées à l'écran, dont « " << perimes.front() << " »";
    EXPECT_GE(nomsALEcran(*vue).size(), 3U);

    // Once the main loop has been idle, rows kept out of view have the new list too.
    const auto anciennes = [&] {
        std::vector<std::string> noms;
        for (auto* etiquette : tous<Gtk::Label>(*vue))
            if (etiquette->has_css_class("ovrel-ligne-nom") &&
                etiquette->get_text().raw().find("(nouvelle)") == std::string::npos)
                noms.push_back(etiquette->get_text());
        return noms;
    };
    EXPECT_TRUE(attendre([&] { return anciennes().empty(); })) << anciennes().size() << " lignes gardent l'ancien nom";
    fenetre.unset_child();
}

}  // namespace
}  // namespace ovrel
