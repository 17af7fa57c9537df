#include "connexion/session.h"

#include "app/constantes.h"

#include <gtest/gtest.h>

using namespace ovrel;
using namespace std::chrono_literals;

namespace {
const std::string D(DOMAINE_CLOUD);
}

TEST(DemandeSessionAcceptee, PlusDeDixSecondes) {
    const Instant t0 = instantDepuis1970(1701781410.0);
    EXPECT_TRUE(demandeSessionAcceptee(PASSE_LOINTAIN, t0));
    EXPECT_FALSE(demandeSessionAcceptee(t0, t0 + 3s));
    EXPECT_FALSE(demandeSessionAcceptee(t0, t0 + 10s));
    EXPECT_TRUE(demandeSessionAcceptee(t0, t0 + 10s + 1ns));
    EXPECT_TRUE(demandeSessionAcceptee(t0, t0 + 11s));
    EXPECT_FALSE(demandeSessionAcceptee(t0, t0 - 60s));  // the clock went back
}

TEST(DemandeSessionAcceptee, BornesDeLHorloge) {
    EXPECT_TRUE(demandeSessionAcceptee(Instant::min(), Instant::max()));
    EXPECT_TRUE(demandeSessionAcceptee(Instant::min(), Instant{}));
    EXPECT_FALSE(demandeSessionAcceptee(Instant::min(), Instant::min()));
    EXPECT_FALSE(demandeSessionAcceptee(Instant::min(), Instant::min() + 10s));
    EXPECT_TRUE(demandeSessionAcceptee(Instant::min(), Instant::min() + 11s));
    EXPECT_FALSE(demandeSessionAcceptee(Instant::max(), Instant::min()));
    EXPECT_FALSE(demandeSessionAcceptee(Instant::max(), Instant::max()));
}

TEST(SerieDeTunnel, HoteDeBoiteDuTunnel) {
    EXPECT_EQ(serieDeTunnel("s-k-123.box." + D), "k-123");
    EXPECT_EQ(serieDeTunnel("S-K-123.BOX." + D), "k-123");
    EXPECT_EQ(serieDeTunnel("b-K1.lan.box." + D), "k1");
    EXPECT_EQ(serieDeTunnel("ab.box." + D), "");
    EXPECT_EQ(serieDeTunnel("a.box." + D), "box");
    EXPECT_EQ(serieDeTunnel(".box." + D), "ox");
    EXPECT_EQ(serieDeTunnel("\xc3\xa9\xc3\xa9K9.box." + D), "k9");  // two characters, not two bytes
    EXPECT_EQ(serieDeTunnel("\xff\xfeK9.box." + D), "k9");
}

TEST(SerieDeTunnel, AutresHotes) {
    EXPECT_EQ(serieDeTunnel("studio." + D), std::nullopt);
    EXPECT_EQ(serieDeTunnel("s-k1.box." + D + ".pirate.net"), std::nullopt);
    EXPECT_EQ(serieDeTunnel("s-k1.pirate-box." + D), std::nullopt);
    EXPECT_EQ(serieDeTunnel("box-1.local"), std::nullopt);
    EXPECT_EQ(serieDeTunnel(""), std::nullopt);
    EXPECT_EQ(serieDeTunnel("a"), std::nullopt);
}

TEST(AdresseEntreeTunnel, PageDeConfigurationDuSite) {
    EXPECT_EQ(adresseEntreeTunnel("0f8fad5b-d9cb-469f-a165-70867728950e"),
              BASE_CLOUD() + "/studio/site/0f8fad5b-d9cb-469f-a165-70867728950e/configurer");
    EXPECT_EQ(adresseEntreeTunnel("un id"), std::nullopt);
}

TEST(JetonDeRedirection, PremierElementJeton) {
    EXPECT_EQ(jetonDeRedirection(std::string("https://s-k1.box." + D + "/studio?jeton=abc&jeton=def")), "abc");
    EXPECT_EQ(jetonDeRedirection(std::string("/studio/session?x=1&jeton=a%2Bb+c")), "a+b+c");
    EXPECT_EQ(jetonDeRedirection(std::string("session?jeton=rel")), "rel");
    EXPECT_EQ(jetonDeRedirection(std::string("?jeton=q#f")), "q");
    EXPECT_EQ(jetonDeRedirection(std::string("//autre.example/x?jeton=h")), "h");
    // An absolute address is read as it stands, dot segments and all.
    EXPECT_EQ(jetonDeRedirection(std::string("ovrelstudio:/..//x?jeton=z")), "z");
    EXPECT_EQ(jetonDeRedirection(std::string("/x?jeton=")), "");
}

TEST(JetonDeRedirection, SansJeton) {
    EXPECT_EQ(jetonDeRedirection(std::nullopt), std::nullopt);
    EXPECT_EQ(jetonDeRedirection(std::string("")), std::nullopt);
    EXPECT_EQ(jetonDeRedirection(std::string("/x?jeton")), std::nullopt);
    EXPECT_EQ(jetonDeRedirection(std::string("/x?Jeton=abc")), std::nullopt);
    EXPECT_EQ(jetonDeRedirection(std::string("/x#jeton=abc")), std::nullopt);
    EXPECT_EQ(jetonDeRedirection(std::string("/x?jeton=%zz")), std::nullopt);
    EXPECT_EQ(jetonDeRedirection(std::string("/x?jeton=%FF")), std::nullopt);
    EXPECT_EQ(jetonDeRedirection(std::string("/a b/../x?jeton=abc")), std::nullopt);
    EXPECT_EQ(jetonDeRedirection(std::string("/x?jeton=abc\0def", 16)), std::nullopt);
    EXPECT_EQ(jetonDeRedirection(std::string("http://[::1/x?jeton=abc")), std::nullopt);
}

TEST(ScriptRenouvellement, JetonEnLitteralJsonOuNull) {
    EXPECT_EQ(scriptRenouvellement(std::string("abc")),
              "if (window.ovrelRenouvelerSession) window.ovrelRenouvelerSession(\"abc\");");
    EXPECT_EQ(scriptRenouvellement(std::nullopt),
              "if (window.ovrelRenouvelerSession) window.ovrelRenouvelerSession(null);");
    EXPECT_EQ(scriptRenouvellement(std::string("a\"b\\c</script>\n")),
              "if (window.ovrelRenouvelerSession) window.ovrelRenouvelerSession(\"a\\\"b\\\\c</script>\\n\");");
    EXPECT_EQ(scriptRenouvellement(std::string("")),
              "if (window.ovrelRenouvelerSession) window.ovrelRenouvelerSession(\"\");");
    EXPECT_EQ(scriptRenouvellement(std::string("\xff")),
              "if (window.ovrelRenouvelerSession) window.ovrelRenouvelerSession(null);");
}
