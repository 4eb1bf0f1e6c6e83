#include "edit_limits.h"

#include <cstdint>
#include <string>

#include "gbk_text.h"
#include "utf16.h"

namespace {

constexpr wchar_t kOriginalProc[] = L"Pelorin.EditProc";
constexpr wchar_t kMaxBytes[] = L"Pelorin.MaxBytes";

std::wstring WindowText(HWND hWnd) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(hWnd)) + 1, L'\0');
    text.resize(
        static_cast<std::size_t>(GetWindowTextW(hWnd, text.data(), static_cast<int>(text.size()))));
    return text;
}

bool ChangesText(UINT message) {
    return message == WM_CHAR || message == WM_PASTE || message == WM_IME_CHAR ||
           message == WM_UNDO;
}

// Lets the edit box take a keystroke or paste, then takes it back when the text grew too long.
LRESULT CALLBACK LimitedEditProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    const auto original = reinterpret_cast<WNDPROC>(GetPropW(hWnd, kOriginalProc));
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
        RemovePropW(hWnd, kOriginalProc);
        RemovePropW(hWnd, kMaxBytes);
        return CallWindowProcW(original, hWnd, message, wParam, lParam);
    }
    if (!ChangesText(message)) {
        return CallWindowProcW(original, hWnd, message, wParam, lParam);
    }
    const auto nMaxBytes =
        static_cast<std::size_t>(reinterpret_cast<std::uintptr_t>(GetPropW(hWnd, kMaxBytes)));
    const std::wstring before = WindowText(hWnd);
    DWORD dwStart = 0;
    DWORD dwEnd = 0;
    SendMessageW(hWnd, EM_GETSEL, reinterpret_cast<WPARAM>(&dwStart),
                 reinterpret_cast<LPARAM>(&dwEnd));
    const LRESULT result = CallWindowProcW(original, hWnd, message, wParam, lParam);
    if (GbkFromUtf8(Utf8FromUtf16(WindowText(hWnd))).size() > nMaxBytes) {
        SetWindowTextW(hWnd, before.c_str());
        SendMessageW(hWnd, EM_SETSEL, dwStart, dwEnd);
        MessageBeep(MB_OK);
    }
    return result;
}

}  // namespace

bool LimitGbkBytes(HWND hEdit, int nMaxBytes) {
    if (hEdit == nullptr || nMaxBytes < 0) {
        return false;
    }
    if (GetPropW(hEdit, kOriginalProc) != nullptr) {
        return true;
    }
    if (!SetPropW(hEdit, kMaxBytes,
                  reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(nMaxBytes)))) {
        return false;
    }
    const LONG_PTR original = GetWindowLongPtrW(hEdit, GWLP_WNDPROC);
    if (!SetPropW(hEdit, kOriginalProc, reinterpret_cast<HANDLE>(original))) {
        RemovePropW(hEdit, kMaxBytes);
        return false;
    }
    SetWindowLongPtrW(hEdit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&LimitedEditProc));
    return true;
}
