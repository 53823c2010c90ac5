// Entry of qmxpublish. On Windows the arguments arrive as UTF-16 and are
// handed on as UTF-8, the form every path of the program takes; the console
// is switched to UTF-8 so the customer texts print as written.
#include "publish.h"

#include "support/text.h"

#include <iostream>

#ifdef _WIN32
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
    SetConsoleOutputCP(CP_UTF8);
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i)
        args.push_back(WideToUtf8(argv[i]));
    return qmxpublish::RunQmxPublish(args, std::cout, std::cerr);
}
#else
int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return qmxpublish::RunQmxPublish(args, std::cout, std::cerr);
}
#endif
