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

}  // namespace

bool certificatAutoSigne(const std::string& domaine, Certificat& resultat, std::string& erreur) {
    Cle cle;
    Certif crt;
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

    const std::string nomCommun = "*.box." + domaine;
    const std::string organisation = "Ovrel (simulateur)";
    if (r == 0)
        r = gnutls_x509_crt_set_dn_by_oid(crt.c, GNUTLS_OID_X520_COMMON_NAME, 0, nomCommun.data(),
                                          static_cast<unsigned>(nomCommun.size()));
    if (r == 0)
        r = gnutls_x509_crt_set_dn_by_oid(crt.c, GNUTLS_OID_X520_ORGANIZATION_NAME, 0, organisation.data(),
                                          static_cast<unsigned>(organisation.size()));
    if (r == 0)
        r = gnutls_x509_crt_set_issuer_dn_by_oid(crt.c, GNUTLS_OID_X520_COMMON_NAME, 0, nomCommun.data(),
                                                 static_cast<unsigned>(nomCommun.size()));
    for (const std::string& nom : std::vector<std::string>{nomCommun, domaine, "*." + domaine, "localhost"}) {
        if (r == 0)
            r = gnutls_x509_crt_set_subject_alt_name(crt.c, GNUTLS_SAN_DNSNAME, nom.data(),
                                                     static_cast<unsigned>(nom.size()), GNUTLS_FSAN_APPEND);
    }
    const unsigned char boucle[4] = {127, 0, 0, 1};
    if (r == 0) r = gnutls_x509_crt_set_subject_alt_name(crt.c, GNUTLS_SAN_IPADDRESS, boucle, 4, GNUTLS_FSAN_APPEND);
    if (r == 0) r = gnutls_x509_crt_set_basic_constraints(crt.c, 0, -1);
    if (r == 0) r = gnutls_x509_crt_set_key_usage(crt.c, GNUTLS_KEY_DIGITAL_SIGNATURE);
    if (r == 0) r = gnutls_x509_crt_set_key_purpose_oid(crt.c, GNUTLS_KP_TLS_WWW_SERVER, 0);
    if (r == 0) r = gnutls_x509_crt_set_key(crt.c, cle.k);
    if (r == 0) r = gnutls_x509_crt_sign2(crt.c, crt.c, cle.k, GNUTLS_DIG_SHA256, 0);

    gnutls_datum_t pemCert{nullptr, 0};
    gnutls_datum_t pemCle{nullptr, 0};
    if (r == 0) r = gnutls_x509_crt_export2(crt.c, GNUTLS_X509_FMT_PEM, &pemCert);
    // PKCS #8, the private key form that GLib's PEM reader accepts for every key type.
    if (r == 0) r = gnutls_x509_privkey_export2_pkcs8(cle.k, GNUTLS_X509_FMT_PEM, nullptr, GNUTLS_PKCS_PLAIN, &pemCle);
    if (r != 0) {
        erreur = std::string("certificat : ") + gnutls_strerror(r);
        gnutls_free(pemCert.data);
        gnutls_free(pemCle.data);
        return false;
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

}  // namespace ovrel::simulateur
