// A structured exception guard around one call: what __try and __except give
// a compiler that has them. The Windows build implements it as a scope of the
// platform's own C handler, the Linux build over the fault signals.
#pragma once

#include <windows.h>

// Runs body(argument). An exception that nothing inside the body handles is
// shown to the filter, inner guards first: EXCEPTION_EXECUTE_HANDLER abandons
// the body and returns FALSE, EXCEPTION_CONTINUE_EXECUTION resumes at the
// fault, EXCEPTION_CONTINUE_SEARCH passes it on as if this guard were not
// there. TRUE when the body returned by itself.
extern "C" BOOL RunGuarded(void (*body)(void *), void *argument, LPTOP_LEVEL_EXCEPTION_FILTER filter);
