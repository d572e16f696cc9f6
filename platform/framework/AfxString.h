#pragma once

#include "Win32Api.h"

#include <string>

// The framework's string: text that can be loaded from the string table.
class CString {
public:
    CString() = default;
    CString(LPCSTR text) : m_text(text ? text : "") {}

    // Loads string `nID` of the program's string table; FALSE (and an empty
    // string) when there is none.
    BOOL LoadString(UINT nID);

    BOOL IsEmpty() const { return m_text.empty() ? TRUE : FALSE; }
    int GetLength() const { return static_cast<int>(m_text.size()); }
    operator LPCSTR() const { return m_text.c_str(); }

private:
    std::string m_text;
};
