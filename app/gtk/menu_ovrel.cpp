#include "app/gtk/menu_ovrel.h"

#include <gtkmm/application.h>

#include <string>

namespace ovrel {

const std::vector<ElementMenu>& elementsMenu() {
    // Command-key shortcuts of the original design become Control ones; an upper-case letter
    // adds Shift.
    static const std::vector<ElementMenu> elements{
        {"Ovrel Studio", "À propos d'Ovrel Studio", "aPropos", ""},
        {"Ovrel Studio", "", "", ""},
        {"Ovrel Studio", "Rechercher les mises à jour…", "verifierMiseAJourManuelle", ""},
        {"Ovrel Studio", "", "", ""},
        {"Ovrel Studio", "Changer de compte (oublier la session)…", "deconnexion", ""},
        {"Ovrel Studio", "", "", ""},
        {"Ovrel Studio", "Masquer Ovrel Studio", "masquer", "<Control>h"},
        {"Ovrel Studio", "Quitter Ovrel Studio", "quitter", "<Control>q"},
        {"Fichier", "Imprimer…", "imprimerPage", "<Control>p"},
        {"Édition", "Annuler", "annuler", "<Control>z"},
        {"Édition", "Rétablir", "retablir", "<Control><Shift>z"},
        {"Édition", "", "", ""},
        {"Édition", "Couper", "couper", "<Control>x"},
        {"Édition", "Copier", "copier", "<Control>c"},
        {"Édition", "Coller", "coller", "<Control>v"},
        {"Édition", "Tout sélectionner", "toutSelectionner", "<Control>a"},
        {"Navigation", "Mes Ovrels", "actionParc", "<Control>1"},
        {"Navigation", "Le parc sans Internet (dernière liste)", "actionParcHorsLigne", ""},
        {"Navigation", "Atelier — fabriquer une box (concepteur)", "montrerAtelier", ""},
        {"Navigation", "Ovrels de ce réseau…", "montrerBoxLocales", "<Control>b"},
        {"Navigation", "Espace Studio du web", "ouvrirStudioWeb", "<Control>e"},
        {"Navigation", "Console OVREL (web)", "ouvrirConsole", ""},
        {"Navigation", "Recharger", "recharger", "<Control>r"},
        {"Fenêtre", "Réduire", "reduire", "<Control>m"},
    };
    return elements;
}

Glib::RefPtr<Gio::Menu> construireMenu() {
    auto barre = Gio::Menu::create();
    Glib::RefPtr<Gio::Menu> sousMenu;
    Glib::RefPtr<Gio::Menu> section;
    std::string_view menuCourant;
    for (const auto& element : elementsMenu()) {
        if (!sousMenu || element.menu != menuCourant) {
            sousMenu = Gio::Menu::create();
            section = Gio::Menu::create();
            sousMenu->append_section(section);
            barre->append_submenu(std::string(element.menu), sousMenu);
            menuCourant = element.menu;
        }
        if (element.titre.empty()) {
            section = Gio::Menu::create();
            sousMenu->append_section(section);
            continue;
        }
        section->append(std::string(element.titre), "app." + std::string(element.action));
    }
    return barre;
}

void installerRaccourcis(Gtk::Application& application) {
    for (const auto& element : elementsMenu())
        if (!element.raccourci.empty())
            application.set_accels_for_action("app." + std::string(element.action), {std::string(element.raccourci)});
}

}  // namespace ovrel
