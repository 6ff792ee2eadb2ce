// Whether a TLS server's certificate is to be trusted for the host a URL names.
#pragma once

#include "net/tls/tls_handles.h"

class TlsSharedState;

// 0 when the certificate may be trusted for host: its chain is whole and ends in one of the
// machine's trusted roots, every certificate of it is valid now, the server certificate is
// meant for server authentication, the SSL policy (CERT_CHAIN_POLICY_SSL) finds nothing wrong,
// and it names host: the DNS name, or, for an address host, one of the certificate's IP
// addresses. Otherwise why not: a CERT_E_, TRUST_E_ or CRYPT_E_ code (CERT_E_CHAINING when the
// chain reaches no known root, CERT_E_UNTRUSTEDROOT when its root is not trusted,
// CERT_E_EXPIRED, CERT_E_CN_NO_MATCH for a name that does not match), or the system's error.
// Revocation is not checked: it would need the network beyond the one server. With shared, a
// chain built and trusted earlier for the same certificate is taken from there (and a new one
// kept there); the name is checked all the same.
long CheckServerCertificate(PCCERT_CONTEXT certificate, const char* host,
                            TlsSharedState* shared = nullptr);
