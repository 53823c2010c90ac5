// libFuzzer entry for the document readers: the input is handed to
// LoadFromText of one reader, chosen when the target is built
// (QMX_FUZZ_READER: 1 installer description, 2 customer document,
// 3 customer settings). Whatever the server sends must end in a boolean.
#include "config/xml_config.h"

#include <cstddef>
#include <cstdint>
#include <string>

#ifndef QMX_FUZZ_READER
#error "QMX_FUZZ_READER selects the reader"
#endif

namespace {

#if QMX_FUZZ_READER == 1
using Reader = CXmlConfig;
#elif QMX_FUZZ_READER == 2
using Reader = CXmlCustomer;
#elif QMX_FUZZ_READER == 3
using Reader = CXmlCustomersetting;
#else
#error "unknown QMX_FUZZ_READER"
#endif

// A reader that keeps what earlier inputs left, as the process-wide documents
// do across loads.
Reader& Accumulating() {
    static Reader reader;
    return reader;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    Reader fresh;
    fresh.LoadFromText(text);
    Accumulating().LoadFromText(text);
    return 0;
}
