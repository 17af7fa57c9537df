// The main menu: every menu, item, action and keyboard shortcut, as a table from which the
// menu bar model and the application's accelerators are built.
#pragma once

#include <giomm/menu.h>
#include <glibmm/refptr.h>

#include <string_view>
#include <vector>

namespace Gtk {
class Application;
}

namespace ovrel {

struct ElementMenu {
    std::string_view menu;       // "Ovrel Studio", "Fichier", "Édition", "Navigation", "Fenêtre"
    std::string_view titre;      // empty for a separator
    std::string_view action;     // the application action, without its "app." prefix
    std::string_view raccourci;  // a GTK accelerator ("<Control>q"), empty for none
};

// In menu order. Separators have only their menu.
const std::vector<ElementMenu>& elementsMenu();

// The menu bar model: one submenu per menu, separators as sections.
Glib::RefPtr<Gio::Menu> construireMenu();

// Gives each action of the table its shortcut.
void installerRaccourcis(Gtk::Application& application);

}  // namespace ovrel
