#pragma once
// The screen as a Windows test sees it: pixels, top-level windows of a
// child process by size, child controls by position, and screenshots saved
// as PNG files under the build tree.
#include <windows.h>

#include <fstream>
#include <string>
#include <vector>

#include "support/program_child_win32.h"
#include "ui/png_test_encoder.h"

namespace zorv::testing {

inline COLORREF ScreenPixel(int x, int y) {
    HDC screen = GetDC(nullptr);
    COLORREF colour = GetPixel(screen, x, y);
    ReleaseDC(nullptr, screen);
    return colour;
}

inline RECT WindowRectOf(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect;
}

struct SizedWindowSearch {
    DWORD process;
    int width, height;
    HWND found = nullptr;
};

inline BOOL CALLBACK FindSizedWindow(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<SizedWindowSearch*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    RECT rect = WindowRectOf(window);
    if (owner == search->process && rect.right - rect.left == search->width &&
        rect.bottom - rect.top == search->height) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// The process's top-level window of exactly that size (shown or not).
inline HWND TopLevelOfSize(DWORD process, int width, int height) {
    SizedWindowSearch search{process, width, height};
    EnumWindows(FindSizedWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

struct ChildAtSearch {
    HWND top;
    POINT at;
    int height;
    HWND found = nullptr;
};

inline BOOL CALLBACK FindChildAt(HWND child, LPARAM param) {
    auto* search = reinterpret_cast<ChildAtSearch*>(param);
    RECT rect = WindowRectOf(child);
    MapWindowPoints(HWND_DESKTOP, search->top, reinterpret_cast<POINT*>(&rect), 2);
    if (rect.left == search->at.x && rect.top == search->at.y && rect.bottom - rect.top == search->height) {
        search->found = child;
        return FALSE;
    }
    return TRUE;
}

// The control whose top-left corner lies at the client point of the
// top-level window and that has the height (its width may change).
inline HWND ControlAt(HWND top, int left, int topEdge, int height) {
    ChildAtSearch search{top, {left, topEdge}, height};
    EnumChildWindows(top, FindChildAt, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// ASCII view of a wide text for failure messages.
inline std::string Narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) out.push_back(c < 128 ? char(c) : '?');
    return out;
}

inline std::wstring WindowText(HWND window) {
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    return text;
}

// The screen's pixels inside the rectangle (0x00RRGGBB, rows top-down).
inline std::vector<uint32_t> ScreenPixels(const RECT& area) {
    int width = area.right - area.left, height = area.bottom - area.top;
    std::vector<uint32_t> pixels;
    if (width <= 0 || height <= 0) return pixels;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
    const auto* bgra = static_cast<const uint32_t*>(bits);
    pixels.assign(bgra, bgra + std::size_t(width) * height);
    for (uint32_t& pixel : pixels) pixel &= 0x00FFFFFF;
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

inline int CountDifferent(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
    int different = 0;
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) different += a[i] != b[i];
    return different;
}

struct TextSearch {
    const wchar_t* text;
    HWND found = nullptr;
};

inline BOOL CALLBACK FindChildWithText(HWND child, LPARAM param) {
    auto* search = reinterpret_cast<TextSearch*>(param);
    if (WindowText(child) != search->text || !IsWindowVisible(child)) return TRUE;
    search->found = child;
    return FALSE;
}

// The shown control of the window whose window text (its caption or its
// name for screen readers) is that text.
inline HWND ShownChildWithText(HWND top, const wchar_t* text) {
    TextSearch search{text};
    EnumChildWindows(top, FindChildWithText, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Saves the whole screen as <ZORV_SCREENS_DIR>/<name>.png.
inline bool SaveScreenshot(const char* name) {
    int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
    std::vector<uint32_t> rgba(std::size_t(width) * height);
    const auto* bgra = static_cast<const uint8_t*>(bits);
    for (std::size_t i = 0; i < rgba.size(); ++i)
        rgba[i] = uint32_t(bgra[i * 4 + 2]) << 24 | uint32_t(bgra[i * 4 + 1]) << 16 | uint32_t(bgra[i * 4]) << 8 | 0xFF;
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    std::vector<uint8_t> png = ui::test::EncodeRgbaPng(width, height, rgba);
    std::wstring folder = WinePathOf(ZORV_SCREENS_DIR);
    CreateDirectoryW(folder.c_str(), nullptr);
    std::wstring file = folder + L"\\";
    for (const char* c = name; *c; ++c) file.push_back(wchar_t(*c));
    std::ofstream out((file + L".png").c_str(), std::ios::binary);
    out.write(reinterpret_cast<const char*>(png.data()), std::streamsize(png.size()));
    return bool(out);
}

}  // namespace zorv::testing
