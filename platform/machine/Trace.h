#pragma once

#include <cstdio>
#include <string>

namespace pervo::machine {

// The call trace: one JSON object a line, written and flushed as each call
// returns, so that a run that is killed keeps every line before it.
class Trace {
public:
    Trace() = default;
    ~Trace();
    Trace(const Trace&) = delete;
    Trace& operator=(const Trace&) = delete;

    // Appends to `path`; "-" means standard error.
    bool Open(const std::string& path, std::string& error);
    void Attach(std::FILE* stream) { Close(); m_stream = stream; m_owned = false; }
    bool IsOn() const { return m_stream != nullptr; }
    void WriteLine(const std::string& json);
    void Close();

private:
    std::FILE* m_stream = nullptr;
    bool m_owned = false;
};

}  // namespace pervo::machine
