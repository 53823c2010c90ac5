// The download server's base address, for example "https://download.valdry.com"
// (no trailing slash). The product exe has one compiled in; the testing flavor
// of the exe takes it from its scenario. An administrator's ServerUrl policy
// replaces it.
#pragma once
#include <string>

// The compiled-in address (the scenario's, in the testing flavor).
std::wstring BuiltInServerBaseUrl();

// The address in effect: the ServerUrl policy, else the built-in one.
std::wstring ServerBaseUrl();

// Document locations on the server.
#define QMX_CUSTOMERSETTING_PATH L"/downloads/orvanteer/windows/customersetting.xml"
#define QMX_CUSTOMER_PATH_FORMAT L"/downloads/orvanteer/customers/customer%03d/windows/customer.xml"
