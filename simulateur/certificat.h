// The simulator's certificates, made at each start.
//
// The boxes behind the cloud's tunnel present a self-signed certificate that no trust store
// knows: the application accepts it by its own rule, and that rule is what the tests exercise.
// The cloud's own hosts, on the HTTPS port, present a certificate signed by an authority made
// for this run; a test that trusts that authority (and only such a test) reaches the cloud as a
// client reaches the real one, with the system's ordinary checks.
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

// A certificate authority (its PEM in `autoritePem`; its key is dropped once it has signed) and
// the certificate it signs for the cloud's hosts: the domain, its studio, sign-in, web and portal
// hosts, localhost and 127.0.0.1. Never for the boxes behind the tunnel.
bool certificatCloudEtAutorite(const std::string& domaine, Certificat& cloud, std::string& autoritePem,
                               std::string& erreur);

}  // namespace ovrel::simulateur
