// qmx_rootstore: puts a certificate into the current user's trusted root
// store of a Wine prefix, or takes it out again, as a desk's IT department
// would install its own authority. The HTTPS scenarios use it for the test
// authority they make; nothing else is touched.
//
//   qmx_rootstore add CERT.der      exit code 0 on success
//   qmx_rootstore remove CERT.der   exit code 0 when it is gone
//
// Removal opens the store through its registry provider: the system-store
// provider reports a deletion as done under Wine without saving it.
#include <windows.h>

#include <wincrypt.h>

#include <cstdio>
#include <cwchar>
#include <vector>

namespace {

bool ReadWholeFile(const wchar_t* path, std::vector<BYTE>& data) {
    FILE* f = _wfopen(path, L"rb");
    if (!f)
        return false;
    BYTE chunk[4096];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, f)) > 0)
        data.insert(data.end(), chunk, chunk + got);
    fclose(f);
    return !data.empty();
}

struct Store {
    HCERTSTORE handle;
    explicit Store(LPCSTR provider)
        : handle(CertOpenStore(provider, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, L"Root")) {}
    ~Store() {
        if (handle)
            CertCloseStore(handle, 0);
    }
};

int Add(const std::vector<BYTE>& der) {
    Store store(CERT_STORE_PROV_SYSTEM_W);
    if (!store.handle)
        return 1;
    return CertAddEncodedCertificateToStore(store.handle, X509_ASN_ENCODING, der.data(),
                                            static_cast<DWORD>(der.size()),
                                            CERT_STORE_ADD_REPLACE_EXISTING, nullptr)
               ? 0
               : 1;
}

int Remove(const std::vector<BYTE>& der) {
    PCCERT_CONTEXT wanted =
        CertCreateCertificateContext(X509_ASN_ENCODING, der.data(), static_cast<DWORD>(der.size()));
    if (!wanted)
        return 1;
    Store store(CERT_STORE_PROV_SYSTEM_REGISTRY_W);
    int code = store.handle ? 0 : 1;
    // Every copy goes; the delete call frees the context it is given.
    while (store.handle) {
        PCCERT_CONTEXT found = CertFindCertificateInStore(store.handle, X509_ASN_ENCODING, 0,
                                                          CERT_FIND_EXISTING, wanted, nullptr);
        if (!found)
            break;
        if (!CertDeleteCertificateFromStore(found)) {
            code = 1;
            break;
        }
    }
    CertFreeCertificateContext(wanted);
    return code;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    std::vector<BYTE> der;
    if (argc != 3 || !ReadWholeFile(argv[2], der)) {
        fwprintf(stderr, L"usage: qmx_rootstore add|remove CERT.der\n");
        return 2;
    }
    if (wcscmp(argv[1], L"add") == 0)
        return Add(der);
    if (wcscmp(argv[1], L"remove") == 0)
        return Remove(der);
    fwprintf(stderr, L"usage: qmx_rootstore add|remove CERT.der\n");
    return 2;
}
