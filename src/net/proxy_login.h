// A proxy that asks for a login (407): what it offers, and whether the
// user's Windows logon answers it.
//
// Every transfer through a proxy offers the proxy the current logon, with
// Negotiate (Kerberos) or NTLM, the way Windows' own HTTP stack does, and
// nothing else: Basic and Digest would need a password typed in. When the
// proxy still says 407, the support trace names what it offered; this reads
// that from the header lines of the answers as they arrive.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

// The authentication schemes offered by the last answer fed in: the first
// word of each of its Proxy-Authenticate headers, each scheme once, in
// order. An answer from a stranger is bounded: at most kMaxSchemes schemes
// of at most kMaxSchemeLength characters are kept, and a word that is no
// HTTP token is not a scheme.
class ProxyChallenges {
  public:
    static constexpr size_t kMaxSchemes = 8;
    static constexpr size_t kMaxSchemeLength = 32;
    // One received header line, status lines included (each starts a new
    // answer and forgets what the one before offered).
    void TakeHeaderLine(const char* line, size_t length);
    const std::vector<std::string>& Schemes() const { return m_schemes; }

  private:
    std::vector<std::string> m_schemes;
};

// Whether the logon can answer one of `schemes`: Negotiate or NTLM, in any
// case.
bool LogonAnswers(const std::vector<std::string>& schemes);

// "Negotiate, NTLM" for the trace; "nothing" when the list is empty.
std::string SchemeList(const std::vector<std::string>& schemes);
