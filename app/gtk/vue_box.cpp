#include "app/gtk/vue_box.h"

#include "app/constantes.h"
#include "app/gtk/fenetre_ovrel.h"
#include "reseau/ouverture_box.h"

#include <initializer_list>

namespace ovrel {

std::string feuilleDeStyleBox() {
    return ".ovrel-box-titre { font-family: Georgia, serif; font-size: 24px; color: " + cssCouleur(OR_OVREL) + "; }\n"
           ".ovrel-box-sous-titre { font-size: 12.5px; color: " + cssCouleur(TEXTE_MUET) + "; }\n"
           ".ovrel-box-attente { font-size: 12.5px; color: " + cssCouleur(Couleur::blanc(0.94, 0.45)) + "; }\n"
           ".ovrel-box-ou { font-size: 11px; color: " + cssCouleur(TEXTE_MUET) + "; }\n"
           "entry.ovrel-box-champ { font-size: 13px; }\n"
           "button.ovrel-box-bouton { padding: 6px 16px; font-size: 13px; }\n"
           ".ovrel-box-habilitation { font-size: 11px; color: " + cssCouleur(Couleur::blanc(0.94, 0.4)) + "; }\n";
}

VueBox::VueBox() {
    add_css_class("ovrel-ecran");

    // "‹  Mes Ovrels" in the top-left corner, above the rest.
    parc_.set_label("‹  Mes Ovrels");
    parc_.set_halign(Gtk::Align::START);
    parc_.set_valign(Gtk::Align::START);
    parc_.set_margin_top(18);
    parc_.set_margin_start(22);

    titre_.set_text("OVRELS DE CE RÉSEAU");
    titre_.add_css_class("ovrel-box-titre");
    sousTitre_.set_text("Les box Ovrel de ce réseau apparaissent toutes seules.");
    sousTitre_.add_css_class("ovrel-box-sous-titre");
    espace18_.set_size_request(-1, 18);
    liste_.set_halign(Gtk::Align::CENTER);
    espace4_.set_size_request(-1, 4);
    actualiser_.set_label("Actualiser la recherche");
    espace16_.set_size_request(-1, 16);
    ou_.set_text("———  ou, par son adresse  ———");
    ou_.add_css_class("ovrel-box-ou");
    espace4b_.set_size_request(-1, 4);
    champ_.set_placeholder_text("Adresse de la box (ex. 192.168.1.18 ou box-bureau.local)");
    champ_.add_css_class("ovrel-box-champ");
    champ_.set_size_request(360, -1);
    gtk_accessible_update_property(GTK_ACCESSIBLE(champ_.gobj()), GTK_ACCESSIBLE_PROPERTY_LABEL, "Adresse de la box", -1);
    // Return in the field opens the address; the field's other keys stay its own.
    champ_.signal_activate().connect([this] {
        if (surOuvrirAdresse) surOuvrirAdresse();
    });
    ouvrirAdresse_.set_label("Ouvrir cette adresse");
    ouvrirAdresse_.signal_clicked().connect([this] {
        if (surOuvrirAdresse) surOuvrirAdresse();
    });
    espace18b_.set_size_request(-1, 18);
    habilitation_.add_css_class("ovrel-box-habilitation");
    habilitation_.set_wrap(true);
    habilitation_.set_justify(Gtk::Justification::CENTER);
    espace10_.set_size_request(-1, 10);

    for (Gtk::Widget* w : std::initializer_list<Gtk::Widget*>{&titre_, &sousTitre_, &espace18_, &liste_, &espace4_,
                                                               &actualiser_, &espace16_, &ou_, &espace4b_, &champ_,
                                                               &ouvrirAdresse_, &espace18b_, &habilitation_, &espace10_}) {
        w->set_halign(Gtk::Align::CENTER);
        pile_.append(*w);
    }
    // Centred, its centre 10 pixels above the screen's.
    pile_.set_halign(Gtk::Align::CENTER);
    pile_.set_valign(Gtk::Align::CENTER);
    pile_.set_margin_bottom(20);
    set_child(pile_);
    add_overlay(parc_);
    afficherListe({});
}

void VueBox::afficherListe(const std::vector<std::string>& titres) {
    while (auto* enfant = liste_.get_first_child()) liste_.remove(*enfant);
    if (titres.empty()) {
        auto* attente = Gtk::make_managed<Gtk::Label>(std::string(TEXTE_RECHERCHE_BOX));
        attente->add_css_class("ovrel-box-attente");
        liste_.append(*attente);
        return;
    }
    for (std::size_t i = 0; i < titres.size(); ++i) {
        auto* bouton = Gtk::make_managed<Gtk::Button>(titres[i]);
        bouton->add_css_class("ovrel-box-bouton");
        bouton->signal_clicked().connect([this, i] {
            if (surOuvrir) surOuvrir(i);
        });
        liste_.append(*bouton);
    }
}

std::vector<Gtk::Button*> VueBox::boutonsBox() {
    std::vector<Gtk::Button*> boutons;
    for (auto* enfant = liste_.get_first_child(); enfant; enfant = enfant->get_next_sibling())
        if (auto* bouton = dynamic_cast<Gtk::Button*>(enfant)) boutons.push_back(bouton);
    return boutons;
}

}  // namespace ovrel
