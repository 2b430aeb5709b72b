#pragma once
// The class of the recording server as a COM server. scripts/register-test-servers.sh reads
// the text form from here and registers it under the ProgID "Excel.Application".

#define QX_RECORDING_CLSID_TEXT "{3D5A8C21-94E7-4B6F-A0D2-7C18E5B94F3A}"

#ifdef _WIN32
#include <windows.h>

inline constexpr CLSID kRecordingServerClassId = {
    0x3D5A8C21, 0x94E7, 0x4B6F, {0xA0, 0xD2, 0x7C, 0x18, 0xE5, 0xB9, 0x4F, 0x3A}};
#endif
