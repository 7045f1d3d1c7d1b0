/* The common-controls part of the Win32 API the saver uses. */
#ifndef VANTREL_COMMCTRL_H
#define VANTREL_COMMCTRL_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct tagINITCOMMONCONTROLSEX {
    DWORD dwSize;
    DWORD dwICC;
} INITCOMMONCONTROLSEX, *LPINITCOMMONCONTROLSEX;

#define ICC_TAB_CLASSES 0x00000008

#define TRACKBAR_CLASSA "msctls_trackbar32"
#define TBM_GETPOS (WM_USER)
#define TBM_SETPOS (WM_USER + 5)
#define TBM_SETRANGE (WM_USER + 6)

BOOL WINAPI InitCommonControlsEx(const INITCOMMONCONTROLSEX *);

#ifdef __cplusplus
}
#endif

#endif
