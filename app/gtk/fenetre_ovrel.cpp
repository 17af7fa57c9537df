#include "app/gtk/fenetre_ovrel.h"

#include "app/constantes.h"
#include "app/gtk/fenetre_journal.h"
#include "plateforme/gtk/ecrans_gtk.h"

#include <charconv>
#include <string_view>
#include <utility>

namespace ovrel {

namespace {

constexpr Couleur FOND_BARRE_WEB{0.11, 0.10, 0.088, 1.0};
constexpr Couleur TEINTE_HORS_LIGNE = Couleur::blanc(0.94, 0.45);

std::string nombre(double valeur) {
    // Locale-independent: the style sheet wants a dot, whatever LC_NUMERIC says.
    char tampon[32];
    auto [fin, erreur] = std::to_chars(tampon, tampon + sizeof tampon, valeur, std::chars_format::fixed, 3);
    if (erreur != std::errc()) return "0";
    return std::string(tampon, fin);
}

}  // namespace

std::string cssCouleur(const Couleur& couleur) {
    return "rgba(" + nombre(couleur.rouge * 255) + "," + nombre(couleur.vert * 255) + "," +
           nombre(couleur.bleu * 255) + "," + nombre(couleur.alpha) + ")";
}

namespace {

std::string css(const Couleur& couleur) { return cssCouleur(couleur); }

std::string nomPage(Ecran ecran) { return std::string(EcransGtk::nom(ecran)); }

}  // namespace

std::string feuilleDeStyleOvrel() {
    const std::string fond = css(FOND_OVREL);
    return "window.ovrel-fenetre, .ovrel-ecran { background-color: " + fond + "; }\n"
           // Georgia when the system has it, otherwise a serif, otherwise the system font.
           ".ovrel-titre { font-family: Georgia, serif; font-size: 40px; color: " + css(OR_OVREL) + "; }\n"
           ".ovrel-sous-titre { font-family: Georgia, serif; font-size: 17px; color: " + css(TEXTE_MUET) + "; }\n"
           ".ovrel-connexion { padding: 6px 20px; font-size: 14px; border-radius: 7px; }\n"
           ".ovrel-explication { font-size: 11.5px; color: " + css(TEXTE_MUET) + "; }\n"
           "button.ovrel-hors-ligne { color: " + css(TEINTE_HORS_LIGNE) + "; }\n"
           ".ovrel-barre-web { background-color: " + css(FOND_BARRE_WEB) + "; }\n" + feuilleDeStyleParc() + feuilleDeStyleBox() + feuilleDeStyleAtelier() + feuilleDeStyleJournal();
}

void installerStyleOvrel() {
    static bool installe = false;
    if (installe) return;
    auto ecran = Gdk::Display::get_default();
    if (!ecran) return;
    auto style = Gtk::CssProvider::create();
    style->load_from_data(feuilleDeStyleOvrel());
    Gtk::StyleContext::add_provider_for_display(ecran, style, GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    installe = true;
}

VueConnexion::VueConnexion() : Gtk::Box(Gtk::Orientation::VERTICAL) {
    add_css_class("ovrel-ecran");

    // Centred horizontally; its vertical centre 20 pixels above the screen's.
    pile_.set_halign(Gtk::Align::CENTER);
    pile_.set_valign(Gtk::Align::CENTER);
    pile_.set_vexpand(true);
    pile_.set_margin_bottom(40);

    titre_.set_text("O V R E L");
    titre_.add_css_class("ovrel-titre");
    sousTitre_.set_text("S T U D I O");
    sousTitre_.add_css_class("ovrel-sous-titre");
    espace26_.set_size_request(-1, 26);

    connexion_.set_label("Connexion intégrateur ou concepteur");
    connexion_.add_css_class("suggested-action");
    connexion_.add_css_class("ovrel-connexion");
    connexion_.set_halign(Gtk::Align::CENTER);

    explication_.set_text("Connectez-vous avec votre compte Ovrel : vos installations s'affichent aussitôt.\n"
                          "L'accès aux Ovrels du réseau local reste ensuite ouvert 7 jours,\n"
                          "même sans internet (chantier).");
    explication_.add_css_class("ovrel-explication");
    explication_.set_wrap(true);
    explication_.set_justify(Gtk::Justification::CENTER);
    explication_.set_halign(Gtk::Align::CENTER);
    espace10_.set_size_request(-1, 10);

    horsLigne_.set_label("Travailler hors ligne — Ovrels de ce réseau");
    horsLigne_.add_css_class("flat");
    horsLigne_.add_css_class("ovrel-hors-ligne");
    horsLigne_.set_halign(Gtk::Align::CENTER);
    espace22_.set_size_request(-1, 22);

    for (Gtk::Widget* element : std::initializer_list<Gtk::Widget*>{
             &titre_, &sousTitre_, &espace26_, &connexion_, &explication_, &espace10_, &horsLigne_, &espace22_})
        pile_.append(*element);
    append(pile_);

    // Return triggers the sign-in button wherever the focus is on this screen (it has no text
    // field that would want the key).
    auto raccourcis = Gtk::ShortcutController::create();
    raccourcis->set_propagation_phase(Gtk::PropagationPhase::CAPTURE);
    auto entree = Gtk::CallbackAction::create([this](Gtk::Widget&, const Glib::VariantBase&) {
        return connexion_.activate();
    });
    for (guint touche : {GDK_KEY_Return, GDK_KEY_KP_Enter, GDK_KEY_ISO_Enter})
        raccourcis->add_shortcut(Gtk::Shortcut::create(Gtk::KeyvalTrigger::create(touche), entree));
    add_controller(raccourcis);
}

ConteneurWeb::ConteneurWeb() : Gtk::Box(Gtk::Orientation::VERTICAL) {
    add_css_class("ovrel-ecran");
    barre_.add_css_class("ovrel-barre-web");
    barre_.set_size_request(-1, 46);
    retour_.set_label("‹  Retour");
    retour_.set_margin_start(14);
    retour_.set_valign(Gtk::Align::CENTER);
    barre_.append(retour_);
    append(barre_);
    // Until the view comes, the bar stays at the top.
    barre_.set_valign(Gtk::Align::START);
}

bool ConteneurWeb::placerVueWeb(Gtk::Widget& vueWeb) {
    if (vueWeb_ != nullptr) return false;
    vueWeb_ = &vueWeb;
    vueWeb.set_hexpand(true);
    vueWeb.set_vexpand(true);
    append(vueWeb);
    return true;
}

FenetreOvrel::FenetreOvrel(const Glib::RefPtr<Gtk::Application>& application, const GeometrieFenetre& geometrie) {
    if (application) set_application(application);
    installerStyleOvrel();
    set_title("Ovrel Studio");
    set_icon_name("fr.ovrel.Studio");
    add_css_class("ovrel-fenetre");
    set_size_request(LARGEUR_MIN_FENETRE, HAUTEUR_MIN_FENETRE);
    set_default_size(geometrie.largeur, geometrie.hauteur);
    if (geometrie.maximisee) maximize();
    set_show_menubar(true);

    pile_.set_transition_type(Gtk::StackTransitionType::NONE);
    pile_.add(vueConnexion_, nomPage(Ecran::connexion));
    pile_.add(vueParc_, nomPage(Ecran::parc));
    pile_.add(vueBox_, nomPage(Ecran::box));
    pile_.add(vueAtelier_, nomPage(Ecran::atelier));
    pile_.add(conteneurWeb_, nomPage(Ecran::web));
    pile_.set_visible_child(nomPage(Ecran::connexion));
    set_child(pile_);

    pile_.property_visible_child_name().signal_changed().connect([this] { quandPageChange(); });
    quandPageChange();
    signal_realize().connect([this] { suivreEtat(); });
}

FenetreOvrel::~FenetreOvrel() {
    arreterGuet();
    attentePremiereImage_.disconnect();
}

void FenetreOvrel::apresPremiereImage(std::function<void()> action) {
    premiereImage_ = std::move(action);
    if (premiereImageFaite_) {
        // Drawn already: only the turn of the main loop is left to wait for.
        if (!attentePremiereImage_.connected())
            attentePremiereImage_ = Glib::signal_idle().connect(
                [this] {
                    // The frame goes to the display server before the work that waited for it.
                    if (auto ecran = get_display()) ecran->flush();
                    if (auto action = std::exchange(premiereImage_, nullptr)) action();
                    return false;
                },
                Glib::PRIORITY_DEFAULT_IDLE);
        return;
    }
    if (get_realized()) guetterPremiereImage();
    // Otherwise suivreEtat starts watching once the window is realized.
}

void FenetreOvrel::guetterPremiereImage() {
    if (peinture_ != 0 || premiereImageFaite_) return;
    horloge_ = get_frame_clock();
    if (!horloge_) return;
    peinture_ = g_signal_connect(horloge_->gobj(), "after-paint", G_CALLBACK(+[](GdkFrameClock*, gpointer moi) {
                                     static_cast<FenetreOvrel*>(moi)->quandPeinte();
                                 }),
                                 this);
}

void FenetreOvrel::quandPeinte() {
    // A frame painted before the surface is on the screen (a window manager still placing it) is
    // drawn again once it is: only a frame of the mapped surface counts.
    GdkSurface* surface = gtk_native_get_surface(GTK_NATIVE(gobj()));
    if (!surface || !gdk_surface_get_mapped(surface)) return;
    arreterGuet();
    premiereImageFaite_ = true;
    if (premiereImage_) apresPremiereImage(std::exchange(premiereImage_, nullptr));
}

void FenetreOvrel::arreterGuet() {
    if (peinture_ != 0 && horloge_) g_signal_handler_disconnect(horloge_->gobj(), peinture_);
    peinture_ = 0;
    horloge_.reset();
}

void FenetreOvrel::quandPageChange() {
    // The sign-in button is the window's default widget only while its screen shows.
    if (std::string(pile_.get_visible_child_name()) == nomPage(Ecran::connexion))
        set_default_widget(vueConnexion_.boutonConnexion());
    else
        unset_default_widget();
}

void FenetreOvrel::suivreEtat() {
    guetterPremiereImage();
    GdkSurface* surface = gtk_native_get_surface(GTK_NATIVE(gobj()));
    if (!surface || !GDK_IS_TOPLEVEL(surface)) return;
    // The surface lives as long as the window is realized; the handler goes with it.
    g_signal_connect(surface, "notify::state", G_CALLBACK(+[](GObject* objet, GParamSpec*, gpointer moi) {
                         auto* fenetre = static_cast<FenetreOvrel*>(moi);
                         const bool miniaturisee =
                             gdk_toplevel_get_state(GDK_TOPLEVEL(objet)) & GDK_TOPLEVEL_STATE_MINIMIZED;
                         const bool devient = miniaturisee && !fenetre->miniaturisee_;
                         const bool redevient = !miniaturisee && fenetre->miniaturisee_;
                         fenetre->miniaturisee_ = miniaturisee;
                         if (devient && fenetre->miniaturisation_) fenetre->miniaturisation_();
                         if (redevient && fenetre->restauration_) fenetre->restauration_();
                     }),
                     this);
}

GeometrieFenetre FenetreOvrel::geometrie() const {
    GeometrieFenetre geometrie;
    int largeur = 0, hauteur = 0;
    // GTK keeps the default size up to date with the user's resizing, and leaves it alone
    // while the window is maximised: it is the size to restore.
    get_default_size(largeur, hauteur);
    if (largeur > 0) geometrie.largeur = largeur;
    if (hauteur > 0) geometrie.hauteur = hauteur;
    geometrie.maximisee = is_maximized();
    return geometrie;
}

}  // namespace ovrel
