// Stands for the program the system opens .xlsx files with: appends the file it is started on
// ("program.exe" "%1"), as one UTF-8 line, to the file QX_OPENED_LOG names.

#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <cstdio>
#include <string>

int main() {
  int count = 0;
  wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  wchar_t log[4096];
  const DWORD length = GetEnvironmentVariableW(L"QX_OPENED_LOG", log, 4096);
  if (arguments == nullptr || count < 2 || length == 0 || length >= 4096) return 1;
  const int size = WideCharToMultiByte(CP_UTF8, 0, arguments[1], -1, nullptr, 0, nullptr, nullptr);
  std::string line(static_cast<std::size_t>(size > 0 ? size - 1 : 0), '\0');
  WideCharToMultiByte(CP_UTF8, 0, arguments[1], -1, line.data(), size, nullptr, nullptr);
  line += '\n';
  std::FILE* out = _wfopen(log, L"ab");
  if (out == nullptr) return 1;
  std::fwrite(line.data(), 1, line.size(), out);
  std::fclose(out);
  LocalFree(arguments);
  return 0;
}
