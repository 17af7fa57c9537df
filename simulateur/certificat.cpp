#include "simulateur/certificat.h"

#include <gnutls/crypto.h>
#include <gnutls/gnutls.h>
#include <gnutls/x509.h>

#include <ctime>
#include <vector>

namespace ovrel::simulateur {

namespace {

struct Cle {
    gnutls_x509_privkey_t k = nullptr;
    ~Cle() { if (k) gnutls_x509_privkey_deinit(k); }
};
struct Certif {
    gnutls_x509_crt_t c = nullptr;
    ~Certif() { if (c) gnutls_x509_crt_deinit(c); }
};

std::string texte(const gnutls_datum_t& d) { return std::string(reinterpret_cast<const char*>(d.data), d.size); }

int nommer(gnutls_x509_crt_t c, const std::string& nomCommun) {
    const std::string organisation = "Ovrel (simulateur)";
    int r = gnutls_x509_crt_set_dn_by_oid(c, GNUTLS_OID_X520_COMMON_NAME, 0, nomCommun.data(),
                                          static_cast<unsigned>(nomCommun.size()));
    if (r == 0)
        r = gnutls_x509_crt_set_dn_by_oid(c, GNUTLS_OID_X520_ORGANIZATION_NAME, 0, organisation.data(),
                                          static_cast<unsigned>(organisation.size()));
    return r;
}

// A fresh ECDSA P-256 key and a version 3 certificate for it with a random serial number, valid
// from an hour ago (clocks of a test machine may lag a little) for one year.
int preparer(Cle& cle, Certif& crt, const std::string& nomCommun) {
    int r = gnutls_x509_privkey_init(&cle.k);
    if (r == 0) r = gnutls_x509_privkey_generate(cle.k, GNUTLS_PK_ECDSA, GNUTLS_CURVE_TO_BITS(GNUTLS_ECC_CURVE_SECP256R1), 0);
    if (r == 0) r = gnutls_x509_crt_init(&crt.c);
    if (r == 0) r = gnutls_x509_crt_set_version(crt.c, 3);
    unsigned char numero[16];
    if (r == 0) r = gnutls_rnd(GNUTLS_RND_NONCE, numero, sizeof numero);
    numero[0] &= 0x7f;  // a positive serial number
    if (r == 0) r = gnutls_x509_crt_set_serial(crt.c, numero, sizeof numero);
    const std::time_t maintenant = std::time(nullptr);
    if (r == 0) r = gnutls_x509_crt_set_activation_time(crt.c, maintenant - 3600);
    if (r == 0) r = gnutls_x509_crt_set_expiration_time(crt.c, maintenant + 365L * 86400);
    if (r == 0) r = nommer(crt.c, nomCommun);
    if (r == 0) r = gnutls_x509_crt_set_key(crt.c, cle.k);
    return r;
}

// A server's certificate: these host names, 127.0.0.1, and only TLS server use.
int pourServeur(gnutls_x509_crt_t c, const std::vector<std::string>& noms) {
    int r = 0;
    for (const std::string& nom : noms) {
        if (r == 0)
            r = gnutls_x509_crt_set_subject_alt_name(c, GNUTLS_SAN_DNSNAME, nom.data(), static_cast<unsigned>(nom.size()),
                                                     GNUTLS_FSAN_APPEND);
    }
    const unsigned char boucle[4] = {127, 0, 0, 1};
    if (r == 0) r = gnutls_x509_crt_set_subject_alt_name(c, GNUTLS_SAN_IPADDRESS, boucle, 4, GNUTLS_FSAN_APPEND);
    if (r == 0) r = gnutls_x509_crt_set_basic_constraints(c, 0, -1);
    if (r == 0) r = gnutls_x509_crt_set_key_usage(c, GNUTLS_KEY_DIGITAL_SIGNATURE);
    if (r == 0) r = gnutls_x509_crt_set_key_purpose_oid(c, GNUTLS_KP_TLS_WWW_SERVER, 0);
    return r;
}

// The certificate's own key identifier, which the certificates it signs name as their issuer's.
int identifierCle(gnutls_x509_crt_t c) {
    unsigned char id[64];
    size_t taille = sizeof id;
    int r = gnutls_x509_crt_get_key_id(c, GNUTLS_KEYID_USE_SHA1, id, &taille);
    if (r == 0) r = gnutls_x509_crt_set_subject_key_id(c, id, taille);
    return r;
}

bool echec(int r, std::string& erreur) {
    erreur = std::string("certificat : ") + gnutls_strerror(r);
    return false;
}

// The certificate and its key as GLib's TLS servers take them.
bool exporter(const Certif& crt, const Cle& cle, Certificat& resultat, std::string& erreur) {
    gnutls_datum_t pemCert{nullptr, 0};
    gnutls_datum_t pemCle{nullptr, 0};
    int r = gnutls_x509_crt_export2(crt.c, GNUTLS_X509_FMT_PEM, &pemCert);
    // PKCS #8, the private key form that GLib's PEM reader accepts for every key type.
    if (r == 0) r = gnutls_x509_privkey_export2_pkcs8(cle.k, GNUTLS_X509_FMT_PEM, nullptr, GNUTLS_PKCS_PLAIN, &pemCle);
    if (r != 0) {
        gnutls_free(pemCert.data);
        gnutls_free(pemCle.data);
        return echec(r, erreur);
    }
    resultat.pem = texte(pemCert);
    const std::string complet = resultat.pem + texte(pemCle);
    gnutls_free(pemCert.data);
    gnutls_free(pemCle.data);

    GError* e = nullptr;
    resultat.tls = g_tls_certificate_new_from_pem(complet.c_str(), static_cast<gssize>(complet.size()), &e);
    if (!resultat.tls) {
        erreur = std::string("certificat : ") + (e ? e->message : "?");
        g_clear_error(&e);
        return false;
    }
    return true;
}

}  // namespace

bool certificatAutoSigne(const std::string& domaine, Certificat& resultat, std::string& erreur) {
    Cle cle;
    Certif crt;
    const std::string nomCommun = "*.box." + domaine;
    int r = preparer(cle, crt, nomCommun);
    if (r == 0)
        r = gnutls_x509_crt_set_issuer_dn_by_oid(crt.c, GNUTLS_OID_X520_COMMON_NAME, 0, nomCommun.data(),
                                                 static_cast<unsigned>(nomCommun.size()));
    if (r == 0) r = pourServeur(crt.c, {nomCommun, domaine, "*." + domaine, "localhost"});
    if (r == 0) r = gnutls_x509_crt_sign2(crt.c, crt.c, cle.k, GNUTLS_DIG_SHA256, 0);
    if (r != 0) return echec(r, erreur);
    return exporter(crt, cle, resultat, erreur);
}

bool certificatCloudEtAutorite(const std::string& domaine, Certificat& cloud, std::string& autoritePem,
                               std::string& erreur) {
    Cle cleAutorite;
    Certif autorite;
    int r = preparer(cleAutorite, autorite, "Autorité de certification du simulateur Ovrel");
    if (r == 0) r = gnutls_x509_crt_set_basic_constraints(autorite.c, 1, 0);
    if (r == 0) r = gnutls_x509_crt_set_key_usage(autorite.c, GNUTLS_KEY_KEY_CERT_SIGN | GNUTLS_KEY_CRL_SIGN);
    if (r == 0) r = identifierCle(autorite.c);
    if (r == 0) r = gnutls_x509_crt_sign2(autorite.c, autorite.c, cleAutorite.k, GNUTLS_DIG_SHA256, 0);
    gnutls_datum_t pem{nullptr, 0};
    if (r == 0) r = gnutls_x509_crt_export2(autorite.c, GNUTLS_X509_FMT_PEM, &pem);
    if (r != 0) return echec(r, erreur);
    autoritePem = texte(pem);
    gnutls_free(pem.data);

    Cle cle;
    Certif crt;
    r = preparer(cle, crt, "studio." + domaine);
    if (r == 0)
        r = pourServeur(crt.c, {domaine, "studio." + domaine, "auth." + domaine, "www." + domaine, "portail." + domaine,
                                "localhost"});
    if (r == 0) r = identifierCle(crt.c);
    unsigned char idAutorite[64];
    size_t taille = sizeof idAutorite;
    if (r == 0) r = gnutls_x509_crt_get_subject_key_id(autorite.c, idAutorite, &taille, nullptr);
    if (r == 0) r = gnutls_x509_crt_set_authority_key_id(crt.c, idAutorite, taille);
    if (r == 0) r = gnutls_x509_crt_sign2(crt.c, autorite.c, cleAutorite.k, GNUTLS_DIG_SHA256, 0);
    if (r != 0) return echec(r, erreur);
    return exporter(crt, cle, cloud, erreur);
}

}  // namespace ovrel::simulateur
