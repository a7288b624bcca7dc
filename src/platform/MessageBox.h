// Modal message boxes: the text goes to the handler installed with
// SetMessageBoxHandler, and the call returns once the handler has returned.
#ifndef ZENTREL_PLATFORM_MESSAGEBOX_H
#define ZENTREL_PLATFORM_MESSAGEBOX_H

#include "ZentrelPlatform.h"

typedef void* HWND;

/// Shows text with the given style; owner and caption are not used (the
/// default caption is the platform's). Returns 1 (OK).
int MessageBoxA(HWND owner, const char* text, const char* caption, UINT style);
/// The framework's form: text, style and help context. Returns 1 (OK).
int AfxMessageBox(const char* text, UINT style = MB_OK, UINT helpContext = 0);

#endif  // ZENTREL_PLATFORM_MESSAGEBOX_H
