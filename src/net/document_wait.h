// The document fetch as the UI thread makes it: bounded as a whole, so the
// popup's thread answers again whatever a server, a proxy or its Kerberos
// server does.
#pragma once
#include "net/document.h"

#include <string>

// libcurl's own limits for a fetch the UI thread waits for: a slow server,
// however steadily it drips, ends the fetch by itself in 20 s.
extern const DocumentLimits kUiFetchLimits;
// How long the UI thread waits for such a fetch at most: libcurl's 20 s plus
// what may come on top of them (an automatic proxy lookup's 5 s). Time spent
// in SSPI (a proxy's Kerberos or NTLM logon) or in a certificate check is
// beyond libcurl's limits; this bound covers it too.
constexpr unsigned kUiFetchWaitMs = 25000;
// Fetches given up on that may still run before a new one is refused.
constexpr int kMaxUnansweredFetches = 3;

// FetchDocument with kUiFetchLimits, on a helper thread. The calling thread
// waits for it at most kUiFetchWaitMs; while it waits (after a short quiet
// start, so that a quick fetch re-enters nothing) it answers the messages
// other threads send to its windows, so the window procedure may run
// meanwhile. Past the bound the fetch counts as failed (empty, with a trace
// line): its thread runs on alone, on its own copy of the address and the
// body, and nothing it receives later reaches anyone.
std::string FetchDocumentAnswering(const std::wstring& url);

#ifdef _WIN32
// True while the popup's thread waits for such a fetch: what the window
// procedure handles then comes in the middle of a start-up or arrival step.
bool FetchWaitUnderway();
// Ends the process at once with `exitCode` while a fetch given up on still
// runs (it may be inside libcurl or SSPI, on values the runtime's static
// destructors free once the program returns from its entry); returns
// otherwise.
void EndProcessIfFetching(unsigned int exitCode);
#endif
