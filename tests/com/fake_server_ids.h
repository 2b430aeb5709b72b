#pragma once
// How the fake IDispatch server is registered: scripts/register-test-servers.sh writes these
// same values into the Wine registry.

// ProgID and class of the fake server.
#define QX_FAKE_PROGID "Qx.FakeDispatchServer"
#define QX_FAKE_CLSID_TEXT "{3C0F7E2A-5B1D-4E8C-9A6F-2D7B8C1E4F50}"
// The DLL COM loads; the tests find its log through this module name.
#define QX_FAKE_MODULE L"qx_fake_server.dll"

// The class identifier as a GUID initialiser.
#define QX_FAKE_CLSID_INIT                           \
  {                                                  \
    0x3C0F7E2A, 0x5B1D, 0x4E8C, {                    \
      0x9A, 0x6F, 0x2D, 0x7B, 0x8C, 0x1E, 0x4F, 0x50 \
    }                                                \
  }

// The fake server's module registered only as an in-process handler of this class, which a
// creation in a server context must not use.
#define QX_FAKE_HANDLER_PROGID "Qx.FakeDispatchServer.Handler"
#define QX_FAKE_HANDLER_CLSID_TEXT "{3C0F7E2A-5B1D-4E8C-9A6F-2D7B8C1E4F53}"
#define QX_FAKE_HANDLER_CLSID_INIT                   \
  {                                                  \
    0x3C0F7E2A, 0x5B1D, 0x4E8C, {                    \
      0x9A, 0x6F, 0x2D, 0x7B, 0x8C, 0x1E, 0x4F, 0x53 \
    }                                                \
  }

// The same objects served out of process by qx_fake_local_server.exe (LocalServer32), as the
// spreadsheet server serves its own.
#define QX_FAKE_LOCAL_PROGID "Qx.FakeDispatchServer.Local"
#define QX_FAKE_LOCAL_CLSID_TEXT "{3C0F7E2A-5B1D-4E8C-9A6F-2D7B8C1E4F51}"
#define QX_FAKE_LOCAL_CLSID_INIT                     \
  {                                                  \
    0x3C0F7E2A, 0x5B1D, 0x4E8C, {                    \
      0x9A, 0x6F, 0x2D, 0x7B, 0x8C, 0x1E, 0x4F, 0x51 \
    }                                                \
  }
