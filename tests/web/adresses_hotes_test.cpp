#include "web/adresses.h"

#include "app/constantes.h"

#include <gtest/gtest.h>

#include <cctype>

using namespace ovrel;

namespace {
const std::string D(DOMAINE_CLOUD);
}

TEST(EstHoteOvrel, DomaineEtSousHotesSeulementApresUnPoint) {
    EXPECT_TRUE(estHoteOvrel(D));
    EXPECT_TRUE(estHoteOvrel("studio." + D));
    EXPECT_TRUE(estHoteOvrel("K-1.BOX." + D));
    std::string enCapitales = D;
    for (char& c : enCapitales) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_TRUE(estHoteOvrel("Studio." + enCapitales));
    EXPECT_FALSE(estHoteOvrel("pirate" + D));
    EXPECT_FALSE(estHoteOvrel(D + ".pirate.net"));
    EXPECT_FALSE(estHoteOvrel(""));
}

TEST(HoteAutorise, HotesLocauxNuageEtAdressesPrivees) {
    EXPECT_TRUE(hoteAutorise("http://LOCALHOST:8080/"));
    EXPECT_TRUE(hoteAutorise("https://Box-12.local/studio"));
    EXPECT_FALSE(hoteAutorise("http://local/"));
    EXPECT_FALSE(hoteAutorise("http://pirate-local/"));
    EXPECT_TRUE(hoteAutorise("https://" + D + "/"));
    EXPECT_TRUE(hoteAutorise("https://AUTH." + D + "/x"));
    EXPECT_FALSE(hoteAutorise("https://pirate" + D + "/"));
    EXPECT_TRUE(hoteAutorise("http://192.168.1.10/admin"));
    EXPECT_FALSE(hoteAutorise("http://8.8.8.8/"));
}

TEST(HoteAutorise, SansHoteOuIllisibleRefuse) {
    EXPECT_FALSE(hoteAutorise("about:blank"));
    EXPECT_FALSE(hoteAutorise("data:text/html,<p>"));
    EXPECT_FALSE(hoteAutorise("localhost"));  // a bare word is not an address
    EXPECT_FALSE(hoteAutorise("http://local host/"));
    EXPECT_FALSE(hoteAutorise(""));
}

TEST(EstIPv4Privee, PlagesPrivees) {
    EXPECT_TRUE(estIPv4Privee("10.0.0.1"));
    EXPECT_TRUE(estIPv4Privee("10.255.255.255"));
    EXPECT_TRUE(estIPv4Privee("172.16.0.1"));
    EXPECT_TRUE(estIPv4Privee("172.31.255.255"));
    EXPECT_TRUE(estIPv4Privee("192.168.1.10"));
    EXPECT_FALSE(estIPv4Privee("172.15.0.1"));
    EXPECT_FALSE(estIPv4Privee("172.32.0.1"));
    EXPECT_FALSE(estIPv4Privee("192.169.0.1"));
    EXPECT_FALSE(estIPv4Privee("127.0.0.1"));
    EXPECT_FALSE(estIPv4Privee("169.254.1.1"));
    EXPECT_FALSE(estIPv4Privee("100.64.0.1"));
    EXPECT_FALSE(estIPv4Privee("11.0.0.1"));
}

TEST(EstIPv4Privee, FormeStricteDesChamps) {
    EXPECT_FALSE(estIPv4Privee("10.0.0"));
    EXPECT_FALSE(estIPv4Privee("10.0.0.1."));
    EXPECT_FALSE(estIPv4Privee("10.0.0.1.5"));
    EXPECT_FALSE(estIPv4Privee("10..0.1"));
    EXPECT_FALSE(estIPv4Privee(".10.0.0"));
    EXPECT_TRUE(estIPv4Privee("010.0.0.1"));
    EXPECT_TRUE(estIPv4Privee("192.168.000.001"));
    EXPECT_FALSE(estIPv4Privee("0010.0.0.1"));
    EXPECT_FALSE(estIPv4Privee("10.256.0.1"));
    EXPECT_FALSE(estIPv4Privee("10.0.0.999"));
    EXPECT_FALSE(estIPv4Privee(" 10.0.0.1"));
    EXPECT_FALSE(estIPv4Privee("10.0.0.1 "));
    EXPECT_FALSE(estIPv4Privee("+10.0.0.1"));
    EXPECT_FALSE(estIPv4Privee("10.0.0.0x1"));
    EXPECT_FALSE(estIPv4Privee("\xd9\xa1\xd9\xa0.0.0.1"));  // Arabic-Indic digits one and zero
    EXPECT_FALSE(estIPv4Privee(""));
    EXPECT_FALSE(estIPv4Privee("..."));
}
