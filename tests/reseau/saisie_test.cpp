#include "reseau/saisie.h"

#include <gtest/gtest.h>

using namespace ovrel;

TEST(SansBlancsAuxBords, BlancsEtSautsDeLigneUnicodeAuxDeuxBouts) {
    EXPECT_EQ(sansBlancsAuxBords("  192.168.1.18\n"), "192.168.1.18");
    EXPECT_EQ(sansBlancsAuxBords("\t\r\v\f\u00a0\u2003\u3000box local\u2028\u2029\u202f\u0085"), "box local");
    EXPECT_EQ(sansBlancsAuxBords(" \n\u00a0 "), "");
    EXPECT_EQ(sansBlancsAuxBords(""), "");
    EXPECT_EQ(sansBlancsAuxBords("a  b"), "a  b");  // inside: kept
}

TEST(SansBlancsAuxBords, CaracteresQuiNeSontPasDesBlancs) {
    EXPECT_EQ(sansBlancsAuxBords("\u200bbox\u200b"), "\u200bbox\u200b");  // zero-width space
    EXPECT_EQ(sansBlancsAuxBords(" é "), "é");
    EXPECT_EQ(sansBlancsAuxBords(" \xc2\xa0x\xa0 "), "x\xa0");  // a lone continuation byte stays
    EXPECT_EQ(sansBlancsAuxBords("\xff "), "\xff");
    EXPECT_EQ(sansBlancsAuxBords(" \xe2\x80"), "\xe2\x80");  // truncated sequence
    EXPECT_EQ(sansBlancsAuxBords("\xc0\xa0x"), "\xc0\xa0x");  // over-long encoding of a space
}
