// Generates realistic fleet documents of any size, deterministically, for measures and seeds.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace ovrel::bench {

inline std::string genererParc(int nombre, std::uint32_t graine = 42) {
    std::uint32_t etat = graine;
    auto hasard = [&etat](std::uint32_t n) {
        etat = etat * 1664525u + 1013904223u;
        return (etat >> 8) % n;
    };
    static const char* couleurs[] = {"vert", "vert", "vert", "vert", "jaune", "orange", "rouge", "gris"};
    static const char* remises[] = {"faite", "faite", "a_faire", "en_attente"};
    static const char* titres[] = {"Sonde de température muette", "Pile faible", "Mise à jour en échec",
                                   "Tunnel coupé depuis hier", "Disque presque plein"};
    std::string s;
    s.reserve(static_cast<std::size_t>(nombre) * 600 + 256);
    s += R"({"organisation":"Domotique du Lac","compte":"installateur@exemple.fr","calcule_le":"2026-12-07T10:00:00Z","ovrels":[)";
    char tampon[512];
    for (int i = 0; i < nombre; ++i) {
        if (i) s += ',';
        const char* couleur = couleurs[hasard(8)];
        std::snprintf(tampon, sizeof tampon,
                      R"({"id":"%08x-1c2d-4e5f-8a9b-%012d","nom":"Maison %d — séjour","serie":"OVR-%06d",)"
                      R"("en_ligne":%s,"version":"0.7.%u","remise":"%s","vu_le":"2026-12-07T09:%02u:%02uZ",)"
                      R"("vu_il_y_a_s":%u,"sante":{"couleur":"%s","resume":"Tout va bien sauf %u point(s) à surveiller cette semaine.",)"
                      R"("verbe":"À regarder quand vous passerez chez le client.","vu_le":"2026-12-07T09:59:30Z",)",
                      static_cast<unsigned>(hasard(0xffffffffu)), i, i, i, hasard(5) ? "true" : "false",
                      hasard(9), remises[hasard(4)], hasard(60), hasard(60), hasard(4000), couleur, hasard(4));
        s += tampon;
        s += R"("anomalies":[)";
        const auto anomalies = (couleur[0] == 'v' || couleur[0] == 'g') ? 0u : 1u + hasard(3);
        for (std::uint32_t a = 0; a < anomalies; ++a) {
            if (a) s += ',';
            std::snprintf(tampon, sizeof tampon,
                          R"({"cle":"a%u","couleur":"%s","titre":"%s","detail":"Vérifier l'alimentation de la sonde, puis relancer le service depuis la console.",)"
                          R"("depuis":"2026-12-0%uT0%u:15:00Z","age_s":%u%s})",
                          a, couleurs[4 + hasard(3)], titres[hasard(5)], 1 + hasard(6), hasard(9),
                          hasard(500000),
                          hasard(2) ? R"(,"action":{"libelle":"Relancer","href":"/studio/api/relancer/42","methode":"POST"})"
                                    : "");
            s += tampon;
        }
        s += "]}}";
    }
    s += R"(],"sante_parc":{"gris":1,"vert":2,"jaune":3,"orange":4,"rouge":5}})";
    return s;
}

}  // namespace ovrel::bench
