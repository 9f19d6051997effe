// Narrow text in the OEM code page to wide text and back, and the
// case-insensitive comparison of wide text.
#pragma once

#include "archive/support_string.h"

UString MultiByteToUnicodeString(const AString& text);

// Characters that the code page lacks become '_'.
AString UnicodeStringToMultiByte(const UString& text);

// The same into `result`, whose array is kept when it has room: for converting
// many strings one after another.
void UnicodeToMultiByte(const wchar_t* text, int length, AString& result);

// -1, 0 or 1; two differing characters are compared in upper case.
int CompareNoCase(const wchar_t* a, const wchar_t* b);
