#include "Trace.h"

#include <cerrno>
#include <cstring>

namespace pervo::machine {

Trace::~Trace()
{
    Close();
}

bool Trace::Open(const std::string& path, std::string& error)
{
    Close();
    if (path == "-") {
        m_stream = stderr;
        m_owned = false;
        return true;
    }
    m_stream = std::fopen(path.c_str(), "ae");
    if (!m_stream) {
        error = "cannot open the trace file " + path + ": " + std::strerror(errno) +
                "; name a file in a folder you can write to";
        return false;
    }
    m_owned = true;
    return true;
}

void Trace::WriteLine(const std::string& json)
{
    if (!m_stream)
        return;
    std::fputs(json.c_str(), m_stream);
    std::fputc('\n', m_stream);
    std::fflush(m_stream);
}

void Trace::Close()
{
    if (m_stream && m_owned)
        std::fclose(m_stream);
    m_stream = nullptr;
    m_owned = false;
}

}  // namespace pervo::machine
