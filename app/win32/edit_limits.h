// Typing limits of the edit boxes, counted in bytes of the GBK text as the identity code takes it.
#ifndef PELORIN_WIN32_EDIT_LIMITS_H
#define PELORIN_WIN32_EDIT_LIMITS_H

#include <windows.h>

// Typing or pasting into hEdit stops where its text would exceed nMaxBytes GBK bytes; a text set
// with WM_SETTEXT is shown whole. Each box keeps its first limit; false when the box could not
// take one.
bool LimitGbkBytes(HWND hEdit, int nMaxBytes);

#endif
