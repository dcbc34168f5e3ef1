// orvane-lab-trust-ca.exe CA.pem — adds a certificate authority (one PEM certificate) to the
// local machine's Root store of the Wine prefix it runs in. The lab runs it in its own prefix
// so that the Windows client's WinHTTP, which trusts the system store only, accepts the lab's
// web server there; the build machine's own trust store is never touched.
//   exit 0: added (or already there); 1: the file or the store failed; 2: usage
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: orvane-lab-trust-ca.exe CA.pem\n", stderr);
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const std::string pem((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof()) {
        std::fprintf(stderr, "orvane-lab-trust-ca: cannot read %s\n", argv[1]);
        return 1;
    }
    // The first "-----BEGIN CERTIFICATE-----" block, base64 to DER.
    DWORD size = 0;
    if (pem.empty() || !CryptStringToBinaryA(pem.c_str(), static_cast<DWORD>(pem.size()), CRYPT_STRING_BASE64HEADER,
                                             nullptr, &size, nullptr, nullptr)) {
        std::fprintf(stderr, "orvane-lab-trust-ca: %s holds no PEM certificate\n", argv[1]);
        return 1;
    }
    std::vector<BYTE> der(size);
    if (!CryptStringToBinaryA(pem.c_str(), static_cast<DWORD>(pem.size()), CRYPT_STRING_BASE64HEADER, der.data(),
                              &size, nullptr, nullptr)) {
        std::fprintf(stderr, "orvane-lab-trust-ca: cannot decode %s (%lu)\n", argv[1], GetLastError());
        return 1;
    }
    HCERTSTORE root = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root");
    if (root == nullptr) {
        std::fprintf(stderr, "orvane-lab-trust-ca: cannot open the Root store (%lu)\n", GetLastError());
        return 1;
    }
    PCCERT_CONTEXT added = nullptr;
    const BOOL ok = CertAddEncodedCertificateToStore(root, X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, der.data(), size,
                                                     CERT_STORE_ADD_REPLACE_EXISTING, &added);
    const DWORD error = GetLastError();
    if (ok) {
        char subject[256] = {};
        CertGetNameStringA(added, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, subject, sizeof subject);
        std::printf("orvane-lab-trust-ca: \"%s\" is trusted in this prefix\n", subject);
        CertFreeCertificateContext(added);
    } else {
        std::fprintf(stderr, "orvane-lab-trust-ca: cannot add the certificate (%lu)\n", error);
    }
    CertCloseStore(root, 0);
    return ok ? 0 : 1;
}
