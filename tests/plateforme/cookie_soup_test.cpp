// The one conversion between libsoup's cookies and ours, through libsoup's own parser: what a
// server's Set-Cookie becomes, and that a converted cookie converts back unchanged.
#include "plateforme/soup/cookie_soup.h"

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>

namespace ovrel {

void PrintTo(const Cookie& c, std::ostream* flux) {
    *flux << c.nom << "=" << c.valeur << " domaine=" << c.domaine << " chemin=" << c.chemin << " expiration="
          << (c.expiration ? std::to_string(std::chrono::floor<std::chrono::seconds>(
                                                c.expiration->time_since_epoch()).count())
                           : "session")
          << " securise=" << c.securise << " httpSeulement=" << c.httpSeulement << " sameSite=" << c.sameSite;
}

namespace {

using namespace std::chrono;

struct LibererCookie {
    void operator()(SoupCookie* c) const { soup_cookie_free(c); }
};
using CookieSoup = std::unique_ptr<SoupCookie, LibererCookie>;

Instant jour(int annee, unsigned mois, unsigned quantieme) {
    return sys_days{year{annee} / month{mois} / day{quantieme}};
}

Cookie allerRetour(const Cookie& cookie) {
    const CookieSoup soup(cookieVersSoup(cookie));
    return cookieDepuisSoup(soup.get());
}

struct Recu {
    const char* cas;
    const char* setCookie;  // as the server of https://studio.ovrel.localhost/ sends it
    Cookie attendu;
};

class CookieRecu : public ::testing::TestWithParam<Recu> {};

TEST_P(CookieRecu, SeLitCommeAttenduEtRevientIdentique) {
    const Recu& cas = GetParam();
    GUri* origine = g_uri_parse("https://studio.ovrel.localhost/", G_URI_FLAGS_NONE, nullptr);
    const CookieSoup soup(soup_cookie_parse(cas.setCookie, origine));
    g_uri_unref(origine);
    ASSERT_TRUE(soup);

    const Cookie lu = cookieDepuisSoup(soup.get());
    EXPECT_EQ(lu, cas.attendu);
    EXPECT_EQ(allerRetour(lu), lu) << "une copie d'une copie reste la même";
}

INSTANTIATE_TEST_SUITE_P(
    Conversion, CookieRecu,
    ::testing::Values(
        Recu{"hote", "hote=1; Path=/; Expires=Wed, 01 Jan 2031 00:00:00 GMT; SameSite=Lax",
             {.nom = "hote", .valeur = "1", .domaine = "studio.ovrel.localhost", .expiration = jour(2031, 1, 1),
              .sameSite = "Lax"}},
        Recu{"domaine", "domaine=2; Domain=ovrel.localhost; Path=/studio; Expires=Wed, 01 Jan 2031 00:00:00 GMT",
             {.nom = "domaine", .valeur = "2", .domaine = ".ovrel.localhost", .chemin = "/studio",
              .expiration = jour(2031, 1, 1), .sameSite = "None"}},
        Recu{"securise", "sur=3; Secure; SameSite=Strict",
             {.nom = "sur", .valeur = "3", .domaine = "studio.ovrel.localhost", .expiration = std::nullopt,
              .securise = true, .sameSite = "Strict"}},
        Recu{"http", "http=4; HttpOnly; SameSite=None; Secure",
             {.nom = "http", .valeur = "4", .domaine = "studio.ovrel.localhost", .expiration = std::nullopt,
              .securise = true, .httpSeulement = true, .sameSite = "None"}},
        Recu{"lax", "lax=5; SameSite=Lax",
             {.nom = "lax", .valeur = "5", .domaine = "studio.ovrel.localhost", .expiration = std::nullopt,
              .sameSite = "Lax"}},
        Recu{"session", "session=6",
             {.nom = "session", .valeur = "6", .domaine = "studio.ovrel.localhost", .expiration = std::nullopt,
              .sameSite = "None"}},
        Recu{"an9999", "lointain=7; Expires=Fri, 31 Dec 9999 23:59:59 GMT",
             {.nom = "lointain", .valeur = "7", .domaine = "studio.ovrel.localhost",
              .expiration = expirationLaPlusLointaine, .sameSite = "None"}},
        Recu{"passe", "passe=8; Expires=Thu, 01 Jan 2015 00:00:00 GMT; SameSite=Strict",
             {.nom = "passe", .valeur = "8", .domaine = "studio.ovrel.localhost", .expiration = jour(2015, 1, 1),
              .sameSite = "Strict"}}),
    [](const ::testing::TestParamInfo<Recu>& info) { return std::string(info.param.cas); });

// What the application may hand over that libsoup cannot hold as such.
TEST(CookieDonne, CeQueLibsoupNeSaitPasGarderEstRameneAuPlusProche) {
    const Cookie base{.nom = "n", .valeur = "v", .domaine = ".ovrel.localhost", .expiration = jour(2030, 6, 1),
                      .sameSite = "Lax"};
    struct Cas {
        const char* cas;
        Cookie donne;
        Cookie lu;
    };
    auto avec = [&](auto modifier) {
        Cookie c = base;
        modifier(c);
        return c;
    };
    for (const Cas& cas : {
             Cas{"sans SameSite", avec([](Cookie& c) { c.sameSite = ""; }), avec([](Cookie& c) { c.sameSite = "None"; })},
             Cas{"casse", avec([](Cookie& c) { c.sameSite = "strict"; }), avec([](Cookie& c) { c.sameSite = "Strict"; })},
             Cas{"chemin vide", avec([](Cookie& c) { c.chemin = ""; }), base},
             Cas{"fraction", avec([](Cookie& c) { *c.expiration += 750ms; }), base},
             Cas{"an 2200", avec([](Cookie& c) { c.expiration = jour(2200, 1, 1); }),
                 avec([](Cookie& c) { c.expiration = expirationLaPlusLointaine; })},
             Cas{"le plus tard", avec([](Cookie& c) { c.expiration = Instant::max(); }),
                 avec([](Cookie& c) { c.expiration = expirationLaPlusLointaine; })},
         }) {
        EXPECT_EQ(allerRetour(cas.donne), cas.lu) << cas.cas;
    }
    EXPECT_GT(expirationLaPlusLointaine, system_clock::now() + years(10));
}

}  // namespace
}  // namespace ovrel
