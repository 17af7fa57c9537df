#include "plateforme/json.h"

#include <gtest/gtest.h>

using namespace ovrel;

namespace {
std::optional<std::int64_t> entierDe(const char* texteJson) {
    auto doc = json::Document::analyser(std::string("{\"n\":") + texteJson + "}");
    EXPECT_TRUE(doc.has_value()) << texteJson;
    return json::entier(doc->objet(), "n");
}
}  // namespace

TEST(Json, EntiersExactementRepresentablesSur64Bits) {
    EXPECT_EQ(entierDe("12"), 12);
    EXPECT_EQ(entierDe("12.0"), 12);
    EXPECT_EQ(entierDe("1e3"), 1000);
    EXPECT_EQ(entierDe("-0"), 0);
    EXPECT_EQ(entierDe("9223372036854775807"), INT64_MAX);
    EXPECT_EQ(entierDe("-9223372036854775808"), INT64_MIN);
    EXPECT_EQ(entierDe("12.5"), std::nullopt);
    EXPECT_EQ(entierDe("9223372036854775808"), std::nullopt);  // 2^63
    EXPECT_EQ(entierDe("18446744073709551616"), std::nullopt);  // 2^64, parsed as a double
    EXPECT_EQ(entierDe("9.3e18"), std::nullopt);
    EXPECT_EQ(entierDe("1e400"), std::nullopt);
    EXPECT_EQ(entierDe("\"12\""), std::nullopt);
    EXPECT_EQ(entierDe("true"), std::nullopt);
}

TEST(Json, UnNombreHorsLimitesNeRendPasLeDocumentIlisible) {
    auto doc = json::Document::analyser(R"({"a": 1e999999, "b": "ok", "c": 99999999999999999999999})");
    ASSERT_TRUE(doc);
    EXPECT_EQ(json::entier(doc->objet(), "a"), std::nullopt);
    EXPECT_EQ(json::entier(doc->objet(), "c"), std::nullopt);
    EXPECT_EQ(json::texte(doc->objet(), "b"), "ok");
}

TEST(Json, LesTypesNeSeConfondentPas) {
    auto doc = json::Document::analyser(R"({"b": 1, "t": true, "s": null, "o": {}, "a": [{}, 1]})");
    ASSERT_TRUE(doc);
    const auto* o = doc->objet();
    EXPECT_EQ(json::booleen(o, "b"), std::nullopt);
    EXPECT_EQ(json::booleen(o, "t"), true);
    EXPECT_EQ(json::texte(o, "s"), std::nullopt);
    EXPECT_NE(json::sousObjet(o, "o"), nullptr);
    EXPECT_EQ(json::sousObjet(o, "a"), nullptr);
    EXPECT_EQ(json::tableauDObjets(o, "a"), nullptr);  // one element is not an object
    EXPECT_EQ(json::nombre(o, "b"), 1.0);
    EXPECT_EQ(json::texte(nullptr, "b"), std::nullopt);
}

TEST(Json, DocumentsRefuses) {
    EXPECT_FALSE(json::Document::analyser(""));
    EXPECT_FALSE(json::Document::analyser("{\"a\":1,}"));
    EXPECT_FALSE(json::Document::analyser("{/*x*/}"));
    EXPECT_FALSE(json::Document::analyser("{\"a\":\"\xff\"}"));  // not UTF-8
    EXPECT_FALSE(json::Document::analyser("{} {}"));
    auto tableau = json::Document::analyser("[1]");
    ASSERT_TRUE(tableau);
    EXPECT_EQ(tableau->objet(), nullptr);
}

TEST(Json, ImbricationProfondeAccepteeSansDebordement) {
    std::string profond(600, '[');
    profond += std::string(600, ']');
    EXPECT_TRUE(json::Document::analyser(profond));
    std::string tropProfond(200000, '[');
    tropProfond += std::string(200000, ']');
    EXPECT_FALSE(json::Document::analyser(tropProfond));
}

TEST(Json, LitteralEchappeGuillemetsEtControles) {
    EXPECT_EQ(json::litteral("ab\"c\\\n"), R"("ab\"c\\\n")");
    EXPECT_EQ(json::litteral(""), R"("")");
}
