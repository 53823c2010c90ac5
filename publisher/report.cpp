// Line formatting of the tool's findings.
#include "report.h"

namespace qmxpublish {

void Report::Add(const char* prefix, const std::string& where, const std::string& message) {
    std::string line = prefix;
    if (!where.empty())
        line += where + ": ";
    line += message;
    m_lines.push_back(line);
}

void Report::Error(const std::string& where, const std::string& message) {
    ++m_errors;
    Add("error: ", where, message);
}

void Report::Warning(const std::string& where, const std::string& message) {
    ++m_warnings;
    Add("warning: ", where, message);
}

void Report::Ok(const std::string& where, const std::string& message) {
    Add("ok: ", where, message);
}

void Report::Line(const std::string& text) {
    m_lines.push_back(text);
}

void Report::Print(std::ostream& out) const {
    for (const std::string& line : m_lines)
        out << line << '\n';
}

std::string Quoted(const std::string& value) {
    std::string text = "\"";
    for (char c : value) {
        switch (c) {
        case '\n':
            text += "\\n";
            break;
        case '\r':
            text += "\\r";
            break;
        case '\t':
            text += "\\t";
            break;
        case '"':
            text += "\\\"";
            break;
        default:
            text += c;
        }
    }
    return text + "\"";
}

} // namespace qmxpublish
