// qmx_credstore: stores a Windows logon credential for one host in the
// current user's credential store of a Wine prefix, or removes it again.
// With no domain to log on to, Wine's NTLM answers a server or proxy with
// the credential stored for its host, as a desk's Credential Manager holds
// one; the NTLM proxy scenario uses it for its test user.
//
//   qmx_credstore add HOST DOMAIN\USER PASSWORD   exit code 0 on success
//   qmx_credstore remove HOST                     exit code 0 when it is gone
#include <windows.h>

#include <wincred.h>

#include <cstdio>
#include <cwchar>

namespace {

int Add(const wchar_t* host, const wchar_t* user, const wchar_t* password) {
    CREDENTIALW credential = {};
    credential.Type = CRED_TYPE_DOMAIN_PASSWORD;
    credential.TargetName = const_cast<wchar_t*>(host);
    credential.UserName = const_cast<wchar_t*>(user);
    credential.CredentialBlobSize = static_cast<DWORD>(wcslen(password) * sizeof(wchar_t));
    credential.CredentialBlob = reinterpret_cast<BYTE*>(const_cast<wchar_t*>(password));
    credential.Persist = CRED_PERSIST_LOCAL_MACHINE;
    if (!CredWriteW(&credential, 0)) {
        fwprintf(stderr, L"CredWriteW failed: %lu\n", GetLastError());
        return 1;
    }
    return 0;
}

int Remove(const wchar_t* host) {
    if (!CredDeleteW(host, CRED_TYPE_DOMAIN_PASSWORD, 0) && GetLastError() != ERROR_NOT_FOUND) {
        fwprintf(stderr, L"CredDeleteW failed: %lu\n", GetLastError());
        return 1;
    }
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 5 && wcscmp(argv[1], L"add") == 0)
        return Add(argv[2], argv[3], argv[4]);
    if (argc == 3 && wcscmp(argv[1], L"remove") == 0)
        return Remove(argv[2]);
    fwprintf(stderr, L"usage: qmx_credstore add HOST DOMAIN\\USER PASSWORD | remove HOST\n");
    return 2;
}
