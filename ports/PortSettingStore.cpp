#include "PortSettingStore.h"

static const char kParentKey[] = "SOFTWARE";
static const char kProductKey[] = "Varholm\\KX-9 Pervola";
static const char kPortValue[] = "CommPort";

CPortSettingKey::~CPortSettingKey()
{
    Close();
}

BOOL CPortSettingKey::Open()
{
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kParentKey, 0, KEY_ALL_ACCESS, &m_hSoftware) != ERROR_SUCCESS) {
        m_hSoftware = {};
        return FALSE;
    }
    DWORD dwDisposition = 0;
    if (RegCreateKeyExA(m_hSoftware, kProductKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                        &m_hProduct, &dwDisposition) != ERROR_SUCCESS) {
        m_hProduct = {};
        Close();
        return FALSE;
    }
    return TRUE;
}

DWORD CPortSettingKey::ReadPortSetting()
{
    // A value shorter than 4 bytes fills only the low-order bytes; the rest
    // stay zero.
    DWORD dwPort = 0;
    DWORD dwType = 0;
    DWORD cbData = sizeof(dwPort);
    if (RegQueryValueExA(m_hProduct, kPortValue, nullptr, &dwType, reinterpret_cast<LPBYTE>(&dwPort), &cbData) !=
        ERROR_SUCCESS) {
        dwPort = PORT_SETTING_DEFAULT;
        WritePortSetting(dwPort);
    }
    return dwPort;
}

void CPortSettingKey::WritePortSetting(DWORD dwPort)
{
    RegSetValueExA(m_hProduct, kPortValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dwPort), sizeof(dwPort));
}

void CPortSettingKey::Close()
{
    if (m_hProduct) {
        RegCloseKey(m_hProduct);
        m_hProduct = {};
    }
    if (m_hSoftware) {
        RegCloseKey(m_hSoftware);
        m_hSoftware = {};
    }
}

void WritePortSetting(DWORD dwPort)
{
    CPortSettingKey key;
    if (key.Open()) {
        key.WritePortSetting(dwPort);
        key.Close();
    }
}
