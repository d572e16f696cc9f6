#pragma once

// A hive such as a desktop that other programs share would hold: for each
// program a vendor key, a product key with its install path, version and a
// few settings (text, numbers, a binary blob that wraps over lines), and a
// subkey of recent files. The same text every time, so runs compare.

#include <cstdio>
#include <string>

namespace pervo::bench {

inline std::string RealisticHive(int programs)
{
    std::string text = "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE]\r\n\r\n";
    char line[256];
    for (int i = 0; i < programs; ++i) {
        std::snprintf(line, sizeof(line), "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor%02d]\r\n\r\n", i);
        text += line;
        std::snprintf(line, sizeof(line), "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor%02d\\Product %d]\r\n", i, i);
        text += line;
        std::snprintf(line, sizeof(line), "\"InstallPath\"=\"C:\\\\Program Files\\\\Vendor%02d\\\\Product %d\"\r\n", i, i);
        text += line;
        std::snprintf(line, sizeof(line), "\"Version\"=\"%d.%d.%d\"\r\n", i % 7 + 1, i % 10, 1000 + i);
        text += line;
        std::snprintf(line, sizeof(line), "\"WindowLeft\"=dword:%08x\r\n\"WindowTop\"=dword:%08x\r\n", 40 + i, 30 + 2 * i);
        text += line;
        text += "\"Placement\"=hex:";
        std::string blob;
        for (int b = 0; b < 44; ++b) {
            std::snprintf(line, sizeof(line), "%02x%s", (i * 31 + b * 7) & 0xFF, b + 1 < 44 ? "," : "");
            blob += line;
            if (b == 20)
                blob += "\\\r\n  ";
        }
        text += blob + "\r\n";
        text += "@=\"\"\r\n\r\n";
        std::snprintf(line, sizeof(line), "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor%02d\\Product %d\\Recent Files]\r\n", i, i);
        text += line;
        for (int f = 0; f < 4; ++f) {
            std::snprintf(line, sizeof(line), "\"File%d\"=\"C:\\\\Documents\\\\Report %d-%d.txt\"\r\n", f + 1, i, f);
            text += line;
        }
        text += "\r\n";
    }
    return text;
}

}  // namespace pervo::bench
