// The download server's base address, for example "https://download.valdry.com"
// (no trailing slash). The product exe has it compiled in; the testing flavor
// of the exe takes it from its scenario.
#pragma once
#include <string>

std::wstring ServerBaseUrl();

// Document locations on the server.
#define QMX_CUSTOMERSETTING_PATH L"/downloads/orvanteer/windows/customersetting.xml"
#define QMX_CUSTOMER_PATH_FORMAT L"/downloads/orvanteer/customers/customer%03d/windows/customer.xml"
