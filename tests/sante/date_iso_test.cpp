#include "sante/date_iso.h"

#include <gtest/gtest.h>

using namespace ovrel;
using namespace std::chrono;

namespace {
Instant instant(std::int64_t secondesDepuis1970) { return Instant{seconds{secondesDepuis1970}}; }
}  // namespace

TEST(IsoUtc, LitLaDateEnUtcAvecZOuDecalage) {
    EXPECT_EQ(ISO_UTC.analyser("1970-01-01T00:00:00Z"), instant(0));
    EXPECT_EQ(ISO_UTC.analyser("2025-03-01T08:00:00Z"), instant(1740816000));
    // The offset says how far local time is ahead of UTC.
    EXPECT_EQ(ISO_UTC("2025-03-01T09:00:00+01:00"), instant(1740816000));
    EXPECT_EQ(ISO_UTC("2025-03-01T02:30:00-05:30"), instant(1740816000));
    EXPECT_EQ(ISO_UTC("2025-03-01T08:00:00+00:00"), instant(1740816000));
    EXPECT_EQ(ISO_UTC("2025-03-01T08:00:00-00:00"), instant(1740816000));
    EXPECT_EQ(ISO_UTC("1969-12-31T23:59:59Z"), instant(-1));
    EXPECT_EQ(ISO_UTC("2025-12-31T23:59:59+23:59"), instant(1767225599 - 86340));
}

TEST(IsoUtc, ValideLesBornesDuCalendrierEtDeLHeure) {
    EXPECT_TRUE(ISO_UTC("2024-02-29T00:00:00Z"));   // leap year
    EXPECT_FALSE(ISO_UTC("2025-02-29T00:00:00Z"));
    EXPECT_FALSE(ISO_UTC("1900-02-29T00:00:00Z"));  // divisible by 100
    EXPECT_TRUE(ISO_UTC("2000-02-29T00:00:00Z"));   // divisible by 400
    EXPECT_EQ(ISO_UTC("2000-03-01T00:00:00Z"), instant(951868800));
    EXPECT_TRUE(ISO_UTC("2025-04-30T00:00:00Z"));
    EXPECT_FALSE(ISO_UTC("2025-04-31T00:00:00Z"));
    EXPECT_FALSE(ISO_UTC("2025-00-10T00:00:00Z"));
    EXPECT_FALSE(ISO_UTC("2025-13-10T00:00:00Z"));
    EXPECT_FALSE(ISO_UTC("2025-01-00T00:00:00Z"));
    EXPECT_FALSE(ISO_UTC("2025-01-32T00:00:00Z"));
    EXPECT_TRUE(ISO_UTC("2025-01-01T23:59:59Z"));
    EXPECT_FALSE(ISO_UTC("2025-01-01T24:00:00Z"));
    EXPECT_FALSE(ISO_UTC("2025-01-01T12:60:00Z"));
    EXPECT_FALSE(ISO_UTC("2025-01-01T12:00:60Z"));
    EXPECT_FALSE(ISO_UTC("2025-01-01T12:00:00+24:00"));
    EXPECT_FALSE(ISO_UTC("2025-01-01T12:00:00+01:60"));
}

TEST(IsoUtc, RefuseToutCeQuiSortDuProfil) {
    for (const char* texte : {
             "",
             "2025-03-01T08:00:00.5Z",       // fractional seconds
             "2025-03-01T08:00:00.000Z",
             "2025-03-01T08:00:00",          // no zone
             "2025-03-01t08:00:00Z",         // lower-case t
             "2025-03-01T08:00:00z",         // lower-case z
             "2025-03-01T08:00:00+0100",     // offset without colon
             "2025-03-01T08:00:00+01",
             "2025-03-01 08:00:00Z",         // space instead of T
             " 2025-03-01T08:00:00Z",
             "2025-03-01T08:00:00Z ",
             "2025-3-01T08:00:00Z",
             "+025-03-01T08:00:00Z",
             "2025-03-01T08:00:0+Z",
             "2025-03-01T08:00:00+1:00Z",
             "2025/03/01T08:00:00Z",
             "2025-03-01T08-00-00Z",
             "2025-03-01T08:00:00*01:00",
             "2025-03-01T08:00:00+01-00",
             "20250301T080000Z",
             "2025-03-01",
         })
        EXPECT_FALSE(ISO_UTC(texte)) << texte;
    // A text that carries more than the timestamp (here an embedded NUL) is not one.
    EXPECT_FALSE(ISO_UTC(std::string_view("2025-03-01T08:00:00Z\0", 21)));
}

TEST(IsoUtc, AnneesHorsDePorteeDUnInstant) {
    // The seconds cover the whole range of four-digit years ...
    EXPECT_EQ(secondesIsoUtc("0000-01-01T00:00:00Z"), -62167219200);
    EXPECT_EQ(secondesIsoUtc("9999-12-31T23:59:59Z"), 253402300799);
    EXPECT_EQ(secondesIsoUtc("0001-01-01T00:00:00+01:00"), -62135596800 - 3600);
    // ... while an Instant only reaches from 1677 to 2262: the parser says absent, not garbage.
    EXPECT_FALSE(ISO_UTC("0001-01-01T00:00:00Z"));
    EXPECT_FALSE(ISO_UTC("9999-12-31T23:59:59Z"));
    EXPECT_FALSE(ISO_UTC("2263-01-01T00:00:00Z"));
    EXPECT_TRUE(ISO_UTC("2262-01-01T00:00:00Z"));
    EXPECT_TRUE(ISO_UTC("1678-01-01T00:00:00Z"));
}

TEST(IsoUtc, SecondesPlancherVersLePasse) {
    EXPECT_EQ(secondesPlancher(instant(12) + milliseconds(999)), 12);
    EXPECT_EQ(secondesPlancher(Instant{} - nanoseconds(1)), -1);
    EXPECT_EQ(secondesPlancher(instant(-3)), -3);
    EXPECT_EQ(secondesPlancher(Instant::min()), -9223372037);
    EXPECT_EQ(secondesPlancher(Instant::max()), 9223372036);
}
