#include "AfxString.h"

#include "WinApp.h"

#include <vector>

BOOL CString::LoadString(UINT nID)
{
    // Start with room for 256 characters and grow while the text fills it,
    // so a long entry is never cut.
    std::vector<char> buffer(256);
    for (;;) {
        const int length = LoadStringA(AfxGetResourceHandle(), nID, buffer.data(), static_cast<int>(buffer.size()));
        if (length < static_cast<int>(buffer.size()) - 1) {
            m_text.assign(buffer.data(), static_cast<std::size_t>(length));
            return length > 0 ? TRUE : FALSE;
        }
        buffer.resize(buffer.size() * 2);
    }
}
