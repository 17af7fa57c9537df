#include "app/gtk/vue_atelier.h"

#include "app/constantes.h"
#include "app/gtk/fenetre_ovrel.h"
#include "app/gtk/vue_parc.h"

#include <initializer_list>

namespace ovrel {

std::string feuilleDeStyleAtelier() {
    return ".ovrel-atelier-marque { font-size: 10.5px; font-weight: 600; color: " + cssCouleur(OR_OVREL) + "; }\n"
           ".ovrel-atelier-titre { font-family: Georgia, serif; font-size: 24px; color: " +
           cssCouleur(Couleur::blanc(0.96, 1.0)) + "; }\n"
           ".ovrel-atelier-explication { font-size: 12.5px; color: " + cssCouleur(TEXTE_MUET) + "; }\n"
           ".ovrel-atelier-attente { font-size: 12.5px; color: " + cssCouleur(Couleur::blanc(0.94, 0.45)) + "; }\n"
           ".ovrel-atelier-ligne { font-size: 13px; }\n"
           ".ovrel-atelier-etiquette { font-size: 12px; color: " + cssCouleur(OR_OVREL) + "; }\n"
           ".ovrel-atelier-ancien { font-size: 11px; color: " + cssCouleur(TEXTE_MUET) + "; }\n"
           "entry.ovrel-atelier-champ { font-size: 13px; }\n"
           "button.ovrel-atelier-rattacher { padding: 6px 16px; font-size: 13px; }\n";
}

namespace {

void espace(Gtk::Box& boite, int hauteur) { boite.set_size_request(-1, hauteur); }

}  // namespace

VueAtelier::VueAtelier() : Gtk::Box(Gtk::Orientation::VERTICAL) {
    add_css_class("ovrel-ecran");

    marque_.set_text("OVREL HOME · CONCEPTEUR");
    marque_.add_css_class("ovrel-atelier-marque");
    titre_.set_text("ATELIER — FABRIQUER UNE BOX");
    titre_.add_css_class("ovrel-atelier-titre");
    explication_.set_text(
        "Les mini-PC OVREL du réseau apparaissent seuls. Un clic : le numéro de série se crée depuis la box, "
        "l'identité est posée, la fiche sort. L'Ovrel sort de l'atelier sous son nom d'usine — son numéro de "
        "série : c'est l'intégrateur qui le nommera.");
    explication_.add_css_class("ovrel-atelier-explication");
    explication_.set_size_request(620, -1);
    espace(espace16_, 16);
    espace(espace4_, 4);
    actualiser_.set_label("Actualiser la recherche");
    espace(espace10_, 10);
    etiquette_.add_css_class("ovrel-atelier-etiquette");
    roue_.set_visible(false);
    gtk_accessible_update_property(GTK_ACCESSIBLE(roue_.gobj()), GTK_ACCESSIBLE_PROPERTY_LABEL, "Opération en cours",
                                   -1);
    ligneEtiquette_.append(roue_);
    ligneEtiquette_.append(etiquette_);
    espace(espace16b_, 16);
    ancien_.set_text("———  un Ovrel ancien, qui ne s'annonce pas sur le réseau  ———");
    ancien_.add_css_class("ovrel-atelier-ancien");
    espace(espace2_, 2);
    explicationAncien_.set_text(
        "Les Ovrels d'avant 0.75 ne se montrent pas tout seuls, et leur identité ne peut être posée que depuis "
        "leur réseau. Donnez son adresse : le code est monté, l'identité créée et posée, le tunnel ouvert. Ce "
        "passage n'a lieu qu'une fois — ensuite, tout se fait à distance.");
    explicationAncien_.add_css_class("ovrel-atelier-ancien");
    explicationAncien_.set_size_request(560, -1);
    for (Gtk::Label* texte : {&explication_, &explicationAncien_}) {
        texte->set_wrap(true);
        texte->set_justify(Gtk::Justification::CENTER);
        texte->set_max_width_chars(1);
    }
    espace(espace4b_, 4);
    champAncien_.set_placeholder_text("Adresse de l'Ovrel (ex. 192.168.0.67 ou box-domicile.local)");
    champAncien_.add_css_class("ovrel-atelier-champ");
    champAncien_.set_size_request(360, -1);
    gtk_accessible_update_property(GTK_ACCESSIBLE(champAncien_.gobj()), GTK_ACCESSIBLE_PROPERTY_LABEL,
                                   "Adresse de l'Ovrel ancien", -1);
    rattacher_.set_label("Rattacher cet Ovrel");
    rattacher_.add_css_class("ovrel-atelier-rattacher");
    rattacher_.signal_clicked().connect([this] {
        if (surRattacher) surRattacher();
    });
    champAncien_.signal_activate().connect([this] {
        if (surRattacher && rattacher_.get_sensitive()) surRattacher();
    });
    espace(espace12_, 12);
    console_.set_label("Ouvrir la console web (parc, licences…)");
    espace(espace12b_, 12);

    for (Gtk::Widget* w : std::initializer_list<Gtk::Widget*>{
             &marque_, &titre_, &explication_, &espace16_, &liste_, &espace4_, &actualiser_, &espace10_, &ligneEtiquette_,
             &espace16b_, &ancien_, &espace2_, &explicationAncien_, &espace4b_, &champAncien_, &rattacher_, &espace12_,
             &console_, &espace12b_}) {
        w->set_halign(Gtk::Align::CENTER);
        pile_.append(*w);
    }
    // Centred, its centre 10 pixels above the screen's.
    pile_.set_halign(Gtk::Align::CENTER);
    pile_.set_valign(Gtk::Align::CENTER);
    pile_.set_vexpand(true);
    pile_.set_margin_bottom(20);
    append(pile_);
    afficherListe({});
}

void VueAtelier::ecrireEtiquette(const std::string& texte) {
    etiquette_.set_text(texte);
    roue_.set_visible(!texte.empty());
    roue_.set_spinning(!texte.empty());
}

void VueAtelier::afficherListe(const std::vector<LigneAtelier>& lignes) {
    while (auto* enfant = liste_.get_first_child()) liste_.remove(*enfant);
    if (lignes.empty()) {
        auto* attente = Gtk::make_managed<Gtk::Label>(std::string(TEXTE_RECHERCHE_ATELIER));
        attente->add_css_class("ovrel-atelier-attente");
        liste_.append(*attente);
        return;
    }
    for (const LigneAtelier& ligne : lignes) {
        auto* rangee = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 12);
        rangee->set_halign(Gtk::Align::CENTER);
        auto* texte = Gtk::make_managed<Gtk::Label>(ligne.texte);
        texte->add_css_class("ovrel-atelier-ligne");
        texte->set_valign(Gtk::Align::CENTER);
        colorer(*texte, ligne.couleur);
        rangee->append(*texte);
        if (ligne.geste != GesteAtelier::aucun) {
            const bool fabriquer = ligne.geste == GesteAtelier::fabriquer;
            auto* bouton = Gtk::make_managed<Gtk::Button>(
                std::string(fabriquer ? TITRE_BOUTON_FABRIQUER : TITRE_BOUTON_REFAIRE_ETIQUETTE));
            bouton->set_valign(Gtk::Align::CENTER);
            if (!fabriquer) bouton->set_tooltip_text(std::string(BULLE_REFAIRE_ETIQUETTE));
            // The box is found again by its table key when the button is pressed: a row built
            // before the box left this network does nothing.
            bouton->set_action_name(fabriquer ? ACTION_FABRIQUER : ACTION_REFAIRE_ETIQUETTE);
            bouton->set_action_target_value(Glib::Variant<Glib::ustring>::create(ligne.cle));
            gtk_accessible_update_property(GTK_ACCESSIBLE(bouton->gobj()), GTK_ACCESSIBLE_PROPERTY_DESCRIPTION,
                                           ligne.texte.c_str(), -1);
            rangee->append(*bouton);
        }
        liste_.append(*rangee);
    }
}

}  // namespace ovrel
