// The window, its five screens and the screens port over its stack, under a real display.
#include "app/gtk/fenetre_journal.h"
#include "app/gtk/fenetre_ovrel.h"
#include "app/gtk/vue_atelier.h"
#include "app/gtk/menu_ovrel.h"
#include "plateforme/gtk/ecrans_gtk.h"
#include "tests/gtk/outils_gtk.h"

#include <gtest/gtest.h>
#include <gtkmm.h>

namespace ovrel {
namespace {

using essais::attendre;

class FenetreOvrelTest : public ::testing::Test {
protected:
    // A label stands in for the web view.
    Gtk::Label vueWeb{"page"};
    FenetreOvrel fenetre{{}, GeometrieFenetre{1200, 700, false}};
    EcransGtk ecrans;
    std::vector<Ecran> changements;

    void SetUp() override {
        ecrans.attacher(fenetre, fenetre.pile());
        ecrans.surChangement([this](Ecran ecran) { changements.push_back(ecran); });
    }
};

TEST_F(FenetreOvrelTest, FenetreTitreTaillesEtPremierEcran) {
    EXPECT_EQ(std::string(fenetre.get_title()), "Ovrel Studio");
    int largeur = 0, hauteur = 0;
    fenetre.get_size_request(largeur, hauteur);
    EXPECT_EQ(largeur, 1050);
    EXPECT_EQ(hauteur, 640);
    EXPECT_EQ(fenetre.geometrie(), (GeometrieFenetre{1200, 700, false}));
    EXPECT_TRUE(fenetre.get_show_menubar());

    EXPECT_TRUE(ecrans.fenetreExiste());
    EXPECT_FALSE(ecrans.fenetreVisible());
    EXPECT_EQ(ecrans.affiche(), Ecran::connexion);
    fenetre.present();
    EXPECT_TRUE(attendre([&] { return ecrans.fenetreVisible(); }));
    EXPECT_EQ(fenetre.get_default_widget(), &fenetre.vueConnexion().boutonConnexion());
}

TEST_F(FenetreOvrelTest, ChaqueEcranDevientLeContenu) {
    fenetre.present();
    for (Ecran ecran : {Ecran::parc, Ecran::box, Ecran::atelier, Ecran::web, Ecran::connexion}) {
        ecrans.afficher(ecran);
        EXPECT_EQ(ecrans.affiche(), ecran);
        EXPECT_EQ(std::string(fenetre.pile().get_visible_child_name()), EcransGtk::nom(ecran));
    }
    EXPECT_EQ(changements, (std::vector<Ecran>{Ecran::parc, Ecran::box, Ecran::atelier, Ecran::web, Ecran::connexion}));

    // The web container holds the web view below its bar, once the view is placed.
    ecrans.afficher(Ecran::web);
    EXPECT_FALSE(fenetre.conteneurWeb().aUneVueWeb());
    EXPECT_FALSE(vueWeb.is_ancestor(fenetre.conteneurWeb()));
    ASSERT_TRUE(fenetre.conteneurWeb().placerVueWeb(vueWeb));
    EXPECT_TRUE(vueWeb.is_ancestor(fenetre.conteneurWeb()));
    Gtk::Label autreVue{"autre"};
    EXPECT_FALSE(fenetre.conteneurWeb().placerVueWeb(autreVue));
    EXPECT_FALSE(autreVue.is_ancestor(fenetre.conteneurWeb()));
    EXPECT_EQ(std::string(fenetre.conteneurWeb().boutonRetour().get_label()), "‹  Retour");
    // Return belongs to the sign-in button only while the sign-in screen shows.
    EXPECT_EQ(fenetre.get_default_widget(), nullptr);
    ecrans.afficher(Ecran::connexion);
    EXPECT_EQ(fenetre.get_default_widget(), &fenetre.vueConnexion().boutonConnexion());
}

TEST_F(FenetreOvrelTest, LaTailleSuitLeRedimensionnement) {
    fenetre.present();
    ASSERT_TRUE(attendre([&] { return fenetre.get_mapped(); }));
    fenetre.set_default_size(1300, 800);
    EXPECT_EQ(fenetre.geometrie(), (GeometrieFenetre{1300, 800, false}));
}

TEST_F(FenetreOvrelTest, LaPremiereImageAttendLaFenetreDessinee) {
    int appels = 0;
    bool dessineeAvant = false;
    fenetre.apresPremiereImage([&] {
        ++appels;
        // Runs from the main loop once the mapped surface has painted a frame.
        GdkSurface* surface = gtk_native_get_surface(GTK_NATIVE(fenetre.gobj()));
        dessineeAvant = surface && gdk_surface_get_mapped(surface);
    });
    essais::laisserTourner(std::chrono::milliseconds(200));
    EXPECT_EQ(appels, 0);  // never before the window is shown

    fenetre.present();
    ASSERT_TRUE(attendre([&] { return appels > 0; }));
    EXPECT_TRUE(dessineeAvant);
    // Later frames do not run it again.
    fenetre.queue_draw();
    essais::laisserTourner(std::chrono::milliseconds(200));
    EXPECT_EQ(appels, 1);

    // Asked for once the window is drawn: from the main loop, never from inside the call.
    int tard = 0;
    fenetre.apresPremiereImage([&] { ++tard; });
    EXPECT_EQ(tard, 0);
    ASSERT_TRUE(attendre([&] { return tard > 0; }));
    essais::laisserTourner(std::chrono::milliseconds(100));
    EXPECT_EQ(tard, 1);
    EXPECT_EQ(appels, 1);
}

TEST(FenetreOvrel, UneFenetreDetruiteNeLancePlusRien) {
    int premieres = 0, tardives = 0;
    {
        FenetreOvrel fenetre{{}, GeometrieFenetre{1200, 700, false}};
        fenetre.apresPremiereImage([&] { ++premieres; });
        fenetre.present();
        ASSERT_TRUE(attendre([&] { return premieres > 0; }));
        // Due at the next turn of the main loop, but the window goes first.
        fenetre.apresPremiereImage([&] { ++tardives; });
    }
    essais::laisserTourner(std::chrono::milliseconds(300));
    EXPECT_EQ(tardives, 0);
}

TEST(EcransGtk, PageAbsenteEtFenetreDetruite) {
    auto* fenetre = new Gtk::Window;
    Gtk::Stack pile;
    Gtk::Label connexion("connexion"), parc("parc");
    pile.add(connexion, "connexion");
    pile.add(parc, "parc");
    fenetre->set_child(pile);

    EcransGtk ecrans;
    int changements = 0;
    ecrans.attacher(*fenetre, pile);
    ecrans.surChangement([&](Ecran) { ++changements; });
    ecrans.afficher(Ecran::parc);
    EXPECT_EQ(ecrans.affiche(), Ecran::parc);
    // No page for the web screen: nothing changes.
    ecrans.afficher(Ecran::web);
    EXPECT_EQ(ecrans.affiche(), Ecran::parc);
    EXPECT_EQ(changements, 1);

    fenetre->unset_child();
    gtk_window_destroy(fenetre->gobj());  // gtkmm deletes the wrapper with the window
    EXPECT_FALSE(ecrans.fenetreExiste());
    EXPECT_FALSE(ecrans.fenetreVisible());
    EXPECT_EQ(ecrans.affiche(), std::nullopt);
    ecrans.afficher(Ecran::connexion);
    EXPECT_EQ(changements, 1);
}

TEST(MenuOvrel, RaccourcisAvecControle) {
    auto application = Gtk::Application::create("fr.ovrel.Studio.Essais");
    installerRaccourcis(*application);
    using Liste = std::vector<Glib::ustring>;
    EXPECT_EQ(application->get_accels_for_action("app.quitter"), Liste{"<Control>q"});
    EXPECT_EQ(application->get_accels_for_action("app.masquer"), Liste{"<Control>h"});
    EXPECT_EQ(application->get_accels_for_action("app.imprimerPage"), Liste{"<Control>p"});
    EXPECT_EQ(application->get_accels_for_action("app.annuler"), Liste{"<Control>z"});
    EXPECT_EQ(application->get_accels_for_action("app.retablir"), Liste{"<Shift><Control>z"});
    EXPECT_EQ(application->get_accels_for_action("app.actionParc"), Liste{"<Control>1"});
    EXPECT_EQ(application->get_accels_for_action("app.montrerBoxLocales"), Liste{"<Control>b"});
    EXPECT_EQ(application->get_accels_for_action("app.ouvrirStudioWeb"), Liste{"<Control>e"});
    EXPECT_EQ(application->get_accels_for_action("app.recharger"), Liste{"<Control>r"});
    EXPECT_EQ(application->get_accels_for_action("app.reduire"), Liste{"<Control>m"});
    EXPECT_TRUE(application->get_accels_for_action("app.ouvrirConsole").empty());
    EXPECT_TRUE(application->get_accels_for_action("app.verifierMiseAJourManuelle").empty());
}

}  // namespace
}  // namespace ovrel

namespace ovrel {
namespace {

// The workshop's rows hand their box's table key to the application action of their gesture.
TEST(VueAtelierGtk, LesBoutonsDesLignesPortentLeurGesteEtLaCleDeLeurBox) {
    VueAtelier vue;
    auto ligne = [](std::string cle, GesteAtelier geste) {
        LigneAtelier l;
        l.cle = std::move(cle);
        l.texte = "Ovrel " + l.cle;
        l.geste = geste;
        return l;
    };
    vue.afficherListe({ligne("a:8000", GesteAtelier::fabriquer), ligne("b:8000", GesteAtelier::refaireEtiquette),
                       ligne("c:8000", GesteAtelier::aucun)});
    std::vector<std::pair<std::string, std::string>> boutons;
    for (auto* rangee = vue.liste().get_first_child(); rangee; rangee = rangee->get_next_sibling())
        for (auto* enfant = rangee->get_first_child(); enfant; enfant = enfant->get_next_sibling())
            if (auto* bouton = dynamic_cast<const Gtk::Button*>(enfant))
                boutons.emplace_back(bouton->get_action_name(),
                                     Glib::VariantBase::cast_dynamic<Glib::Variant<Glib::ustring>>(
                                         bouton->get_action_target_value())
                                         .get());
    EXPECT_EQ(boutons, (std::vector<std::pair<std::string, std::string>>{
                           {"app.fabriquerBoxAction", "a:8000"}, {"app.refaireEtiquetteAction", "b:8000"}}));

    // The spinner turns while a progress line shows.
    vue.ecrireEtiquette("Fabrication de l'Ovrel e3b0 en cours…");
    EXPECT_TRUE(vue.roue().get_visible() && vue.roue().get_spinning());
    vue.ecrireEtiquette("");
    EXPECT_FALSE(vue.roue().get_visible());
}

TEST(JournalAtelierGtk, FaiteAuPremierUsageViderALOuvertureCacheeALaFermeture) {
    JournalAtelierGtk journal;
    journal.ecrire("perdu");
    EXPECT_EQ(journal.fenetre(), nullptr);
    journal.ouvrir("Rattachement de 192.168.0.67");
    FenetreJournal* fenetre = journal.fenetre();
    ASSERT_NE(fenetre, nullptr);
    int largeur = 0, hauteur = 0;
    fenetre->get_default_size(largeur, hauteur);
    EXPECT_EQ(std::make_pair(largeur, hauteur), std::make_pair(780, 460));
    journal.ecrire("Mise à jour…\n");
    journal.ecrire("RESULTAT: {}");
    EXPECT_EQ(fenetre->texte(), "Mise à jour…\nRESULTAT: {}");
    ASSERT_TRUE(essais::attendre([&] { return fenetre->get_visible(); }));

    fenetre->close();
    EXPECT_FALSE(fenetre->get_visible());
    journal.ouvrir("Rattachement de box-ancienne.local");
    EXPECT_EQ(journal.fenetre(), fenetre);
    EXPECT_EQ(std::string(fenetre->get_title()), "Rattachement de box-ancienne.local");
    EXPECT_EQ(fenetre->texte(), "");
    EXPECT_TRUE(fenetre->get_visible());
    journal.detruire();
}

}  // namespace
}  // namespace ovrel
