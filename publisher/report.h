// Findings of one qmxpublish run, kept as the plain lines the tool prints:
// "error: <file>: <message>", "warning: <file>: <message>", "ok: <file>: ...",
// and free lines for the explanation. Lines are kept rather than printed at
// once so that tests can read them and the caller decides where they go.
#pragma once
#include <ostream>
#include <string>
#include <vector>

namespace qmxpublish {

class Report {
  public:
    void Error(const std::string& where, const std::string& message);
    void Warning(const std::string& where, const std::string& message);
    void Ok(const std::string& where, const std::string& message);
    void Line(const std::string& text);

    int Errors() const { return m_errors; }
    int Warnings() const { return m_warnings; }
    const std::vector<std::string>& Lines() const { return m_lines; }
    void Print(std::ostream& out) const;

  private:
    void Add(const char* prefix, const std::string& where, const std::string& message);
    std::vector<std::string> m_lines;
    int m_errors = 0;
    int m_warnings = 0;
};

// Quotes a document value for a message, showing line breaks and tabs as
// escapes so that one finding stays on one line.
std::string Quoted(const std::string& value);

} // namespace qmxpublish
