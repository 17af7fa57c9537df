// Entry of the test programs that need a display: GTK is initialised before the tests run,
// except when GoogleTest only lists them (at build time, where there may be no display).
#include "tests/gtk/outils_gtk.h"

#include <gtest/gtest.h>
#include <giomm/init.h>
#include <gtkmm/init.h>

#include <cstdio>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (!::testing::GTEST_FLAG(list_tests)) {
        if (!gtk_init_check()) {
            std::fprintf(stderr, "Pas d'affichage: ces tests demandent un serveur X (DISPLAY) ou Wayland.\n");
            return 1;
        }
        Gio::init();
        Gtk::init_gtkmm_internals();
        g_set_prgname("ovrel-studio-tests");
        g_set_application_name("Ovrel Studio (tests)");
    }
    return RUN_ALL_TESTS();
}
