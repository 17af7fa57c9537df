// The self-signed certificate of the TLS port, made at each start: the boxes behind the cloud's
// tunnel present a certificate of their own that no trust store knows.
#pragma once

#include <gio/gio.h>

#include <string>

namespace ovrel::simulateur {

struct Certificat {
    GTlsCertificate* tls = nullptr;  // owned; certificate and private key
    std::string pem;                 // the certificate alone, PEM
};

// A fresh ECDSA P-256 key and a certificate valid one year, for "*.box." + domain, the domain and
// its direct sub-hosts, localhost and 127.0.0.1. False with a message on failure.
bool certificatAutoSigne(const std::string& domaine, Certificat& resultat, std::string& erreur);

}  // namespace ovrel::simulateur
