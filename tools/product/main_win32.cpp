// A stand-in for the product: one window titled "Zorvane" that stays open
// until it is closed (exit code 0).  Once the window is on screen it writes
// "zorv-started.txt" beside the program: its own full path on the first line
// and its command line on the second, both UTF-8.  The demo and the install
// benchmark wait for that file to know that the installer started the
// product, and take its modification time as the moment of the start.
#include <windows.h>

#include <string>

namespace {

constexpr wchar_t kWindowClass[] = L"ZorvaneProductWindow";
constexpr wchar_t kTitle[] = L"Zorvane";

// What the window shows: the version and the marker's outcome.
std::wstring g_status;

std::wstring ModulePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    // A full buffer means a cut path (Windows 7 sets no error then either).
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                              nullptr, nullptr);
  std::string out(n > 0 ? n : 0, '\0');
  if (n > 0)
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                        nullptr, nullptr);
  return out;
}

bool WriteWhole(const std::wstring& path, const std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
            written == bytes.size();
  return CloseHandle(file) && ok;
}

// Written under a temporary name and renamed, so that whoever waits for the
// marker never reads it half written.
bool WriteMarker(const std::wstring& self) {
  if (self.empty()) return false;
  std::wstring dir = self.substr(0, self.find_last_of(L"\\/") + 1);
  std::wstring marker = dir + L"zorv-started.txt";
  std::wstring temp = marker + L".tmp";
  std::string text = Utf8(self) + "\r\n" + Utf8(GetCommandLineW()) + "\r\n";
  if (!WriteWhole(temp, text)) return false;
  if (!MoveFileExW(temp.c_str(), marker.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    DeleteFileW(temp.c_str());
    return false;
  }
  return true;
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      RECT area;
      GetClientRect(window, &area);
      InflateRect(&area, -16, -16);
      SetBkMode(dc, TRANSPARENT);
      DrawTextW(dc, g_status.c_str(), -1, &area, DT_LEFT | DT_TOP | DT_WORDBREAK);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window, message, wparam, lparam);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof window_class;
  window_class.lpfnWndProc = WindowProc;
  window_class.hInstance = instance;
  window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  window_class.lpszClassName = kWindowClass;
  if (!RegisterClassExW(&window_class)) return 1;

  std::wstring self = ModulePath();
  g_status = L"Zorvane 1.2.3.4\n\n" + self + L"\n\n";
  HWND window = CreateWindowExW(0, kWindowClass, kTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                CW_USEDEFAULT, 480, 240, nullptr, nullptr, instance, nullptr);
  if (!window) return 1;
  ShowWindow(window, show);
  UpdateWindow(window);

  // After the window is up, so that a waiter who sees the marker also finds
  // the window.  Without a marker the product still runs; the window says so.
  g_status += WriteMarker(self) ? L"started (zorv-started.txt written)"
                                : L"started, but zorv-started.txt could not be written";
  InvalidateRect(window, nullptr, TRUE);

  MSG message;
  BOOL got;
  while ((got = GetMessageW(&message, nullptr, 0, 0)) != 0) {
    if (got == -1) return 1;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}
