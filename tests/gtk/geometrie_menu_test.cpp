// The window geometry kept in the user defaults, and the menu bar model built from the menu
// table. Neither needs a display.
#include "app/gtk/geometrie_fenetre.h"
#include "app/gtk/menu_ovrel.h"
#include "plateforme/preferences_memoire.h"

#include <gtest/gtest.h>
#include <gio/gio.h>
#include <giomm/init.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace ovrel {
namespace {

TEST(GeometrieFenetre, ParDefaut1440Sur920) {
    PreferencesMemoire preferences;
    EXPECT_EQ(lireGeometrieFenetre(preferences), (GeometrieFenetre{1440, 920, false}));
}

TEST(GeometrieFenetre, EnregistreeEnUnLotPuisRelue) {
    PreferencesMemoire preferences;
    ASSERT_TRUE(enregistrerGeometrieFenetre(preferences, {1234, 777, true}));
    EXPECT_EQ(preferences.taille(), 3u);
    EXPECT_EQ(preferences.nombre("OvrelStudioFenetre.largeur"), 1234.0);
    EXPECT_EQ(preferences.nombre("OvrelStudioFenetre.hauteur"), 777.0);
    EXPECT_EQ(preferences.nombre("OvrelStudioFenetre.maximisee"), 1.0);
    EXPECT_EQ(lireGeometrieFenetre(preferences), (GeometrieFenetre{1234, 777, true}));

    ASSERT_TRUE(enregistrerGeometrieFenetre(preferences, {1300, 800, false}));
    EXPECT_EQ(preferences.nombre("OvrelStudioFenetre.maximisee"), 0.0);
    EXPECT_EQ(lireGeometrieFenetre(preferences), (GeometrieFenetre{1300, 800, false}));
}

TEST(GeometrieFenetre, UneTailleTropPetiteEstPorteeAuMinimum) {
    PreferencesMemoire preferences;
    preferences.ecrireNombre("OvrelStudioFenetre.largeur", 500);
    preferences.ecrireNombre("OvrelStudioFenetre.hauteur", 300.4);
    EXPECT_EQ(lireGeometrieFenetre(preferences), (GeometrieFenetre{1050, 640, false}));
    preferences.ecrireNombre("OvrelStudioFenetre.largeur", 1500.6);
    EXPECT_EQ(lireGeometrieFenetre(preferences).largeur, 1501);
}

TEST(GeometrieFenetre, UneValeurInutilisableEstIgnoreeCleParCle) {
    const double inutilisables[] = {std::nan(""), std::numeric_limits<double>::infinity(), -1200, 0, 1e9};
    for (double valeur : inutilisables) {
        PreferencesMemoire preferences;
        preferences.ecrireNombre("OvrelStudioFenetre.largeur", valeur);
        preferences.ecrireNombre("OvrelStudioFenetre.hauteur", 700);
        EXPECT_EQ(lireGeometrieFenetre(preferences), (GeometrieFenetre{1440, 700, false})) << valeur;
    }
    // Another type than a number reads as missing.
    PreferencesMemoire preferences;
    preferences.ecrireTexte("OvrelStudioFenetre.largeur", "1200");
    preferences.ecrireTexte("OvrelStudioFenetre.maximisee", "1");
    EXPECT_EQ(lireGeometrieFenetre(preferences), (GeometrieFenetre{1440, 920, false}));
    // Only exactly 1 means maximised.
    preferences.ecrireNombre("OvrelStudioFenetre.maximisee", 0.5);
    EXPECT_FALSE(lireGeometrieFenetre(preferences).maximisee);
}

// What the menu bar shows: per menu, its sections, each a list of (title, action).
using Section = std::vector<std::pair<std::string, std::string>>;
struct Menu {
    std::string titre;
    std::vector<Section> sections;
};

std::string attribut(GMenuModel* modele, int i, const char* nom) {
    gchar* valeur = nullptr;
    if (!g_menu_model_get_item_attribute(modele, i, nom, "s", &valeur)) return {};
    std::string texte(valeur);
    g_free(valeur);
    return texte;
}

std::vector<Menu> lireBarre(GMenuModel* barre) {
    std::vector<Menu> menus;
    for (int i = 0; i < g_menu_model_get_n_items(barre); ++i) {
        Menu menu{attribut(barre, i, G_MENU_ATTRIBUTE_LABEL), {}};
        GMenuModel* sousMenu = g_menu_model_get_item_link(barre, i, G_MENU_LINK_SUBMENU);
        for (int s = 0; sousMenu && s < g_menu_model_get_n_items(sousMenu); ++s) {
            GMenuModel* section = g_menu_model_get_item_link(sousMenu, s, G_MENU_LINK_SECTION);
            Section elements;
            for (int e = 0; section && e < g_menu_model_get_n_items(section); ++e)
                elements.emplace_back(attribut(section, e, G_MENU_ATTRIBUTE_LABEL),
                                      attribut(section, e, G_MENU_ATTRIBUTE_ACTION));
            if (section) g_object_unref(section);
            menu.sections.push_back(elements);
        }
        if (sousMenu) g_object_unref(sousMenu);
        menus.push_back(menu);
    }
    return menus;
}

TEST(MenuOvrel, MenusSectionsEtActionsDansLOrdre) {
    Gio::init();
    auto barre = construireMenu();
    const auto menus = lireBarre(G_MENU_MODEL(barre->gobj()));
    ASSERT_EQ(menus.size(), 5u);
    EXPECT_EQ(menus[0].titre, "Ovrel Studio");
    EXPECT_EQ(menus[0].sections, (std::vector<Section>{
                                     {{"À propos d'Ovrel Studio", "app.aPropos"}},
                                     {{"Rechercher les mises à jour…", "app.verifierMiseAJourManuelle"}},
                                     {{"Changer de compte (oublier la session)…", "app.deconnexion"}},
                                     {{"Masquer Ovrel Studio", "app.masquer"}, {"Quitter Ovrel Studio", "app.quitter"}},
                                 }));
    EXPECT_EQ(menus[1].titre, "Fichier");
    EXPECT_EQ(menus[1].sections, (std::vector<Section>{{{"Imprimer…", "app.imprimerPage"}}}));
    EXPECT_EQ(menus[2].titre, "Édition");
    EXPECT_EQ(menus[2].sections, (std::vector<Section>{
                                     {{"Annuler", "app.annuler"}, {"Rétablir", "app.retablir"}},
                                     {{"Couper", "app.couper"},
                                      {"Copier", "app.copier"},
                                      {"Coller", "app.coller"},
                                      {"Tout sélectionner", "app.toutSelectionner"}},
                                 }));
    EXPECT_EQ(menus[3].titre, "Navigation");
    ASSERT_EQ(menus[3].sections.size(), 1u);
    EXPECT_EQ(menus[3].sections[0], (Section{
                                        {"Mes Ovrels", "app.actionParc"},
                                        {"Le parc sans Internet (dernière liste)", "app.actionParcHorsLigne"},
                                        {"Atelier — fabriquer une box (concepteur)", "app.montrerAtelier"},
                                        {"Ovrels de ce réseau…", "app.montrerBoxLocales"},
                                        {"Espace Studio du web", "app.ouvrirStudioWeb"},
                                        {"Console OVREL (web)", "app.ouvrirConsole"},
                                        {"Recharger", "app.recharger"},
                                    }));
    EXPECT_EQ(menus[4].titre, "Fenêtre");
    EXPECT_EQ(menus[4].sections, (std::vector<Section>{{{"Réduire", "app.reduire"}}}));
}

}  // namespace
}  // namespace ovrel
