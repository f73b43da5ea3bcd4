// Puts a certificate among the machine's trusted roots, or takes it out:
//   trust_root add|remove CERT.der
// Run as a process of its own: a process that has already built certificate
// chains keeps the roots it saw then, so the process that verifies must start
// after the change.
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 3 || (std::strcmp(argv[1], "add") != 0 && std::strcmp(argv[1], "remove") != 0)) {
        std::fprintf(stderr, "usage: trust_root add|remove CERT.der\n");
        return 2;
    }
    std::ifstream in(argv[2], std::ios::binary);
    const std::vector<BYTE> der((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (der.empty()) return 3;
    HCERTSTORE store = ::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root");
    if (store == nullptr) return 4;
    PCCERT_CONTEXT certificate = nullptr;
    BOOL done = ::CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, der.data(),
                                                   static_cast<DWORD>(der.size()), CERT_STORE_ADD_REPLACE_EXISTING,
                                                   &certificate);
    if (done && std::strcmp(argv[1], "remove") == 0) {
        done = ::CertDeleteCertificateFromStore(certificate);  // frees the context
        certificate = nullptr;
    }
    if (certificate != nullptr) ::CertFreeCertificateContext(certificate);
    ::CertCloseStore(store, 0);
    return done ? 0 : 5;
}
