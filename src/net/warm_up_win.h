// Making the network side ready while start-up waits anyway.
#pragma once

// Starts, beside the calling thread, what the first transfer would otherwise
// do on the spot: libcurl's global set-up (Winsock and the SSPI library with
// its security packages, for a proxy's logon), the first read of the
// user's proxy settings and the WinHTTP session of the automatic lookups. Returns at once. Nothing
// is sent; a failure there changes nothing, the first transfer then does the same itself.
void StartNetworkWarmUp();
