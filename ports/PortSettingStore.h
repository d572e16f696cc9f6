#pragma once

#include "Win32Api.h"

// The chosen serial port, kept for all users of the machine as the REG_DWORD
// "CommPort" under HKEY_LOCAL_MACHINE\SOFTWARE\Varholm\KX-9 Pervola.
#define PORT_SETTING_DEFAULT 2

// The setting's keys, opened for the time the caller uses the value: the
// parent key SOFTWARE (opened, never created) and the product key below it
// (created when missing). Both are opened with full access.
class CPortSettingKey {
public:
    CPortSettingKey() = default;
    ~CPortSettingKey();
    CPortSettingKey(const CPortSettingKey&) = delete;
    CPortSettingKey& operator=(const CPortSettingKey&) = delete;

    // FALSE when either key cannot be opened; nothing stays open then.
    BOOL Open();

    // The stored port; when it cannot be read into 4 bytes it becomes the
    // default, which is written back.
    DWORD ReadPortSetting();

    void WritePortSetting(DWORD dwPort);

    // Closes the product key first and the parent key last.
    void Close();

private:
    HKEY m_hSoftware{};
    HKEY m_hProduct{};
};

// Stores the port: opens the keys, writes the value, closes them. Skipped
// silently when the keys cannot be opened.
void WritePortSetting(DWORD dwPort);
