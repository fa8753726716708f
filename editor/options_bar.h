// The options bar (template VIEWDLG): the card size list and the landscape
// and portrait radio buttons. Each choice is written to the job record and
// announced to the editor view with the command IDC_CARD_SIZE.
#pragma once

#include <windows.h>

// Dialog procedure of VIEWDLG; the main window creates the bar with
// CreateDialogParamA(AppInstance, "VIEWDLG", main window, OptionsBarProc, 0).
INT_PTR CALLBACK OptionsBarProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Shows the job's card size and orientation in the bar without announcing a
// change (the caller has applied it already). A null bar does nothing.
void ShowCardSettings(HWND bar);
