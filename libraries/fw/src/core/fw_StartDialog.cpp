#include "fw_StartDialog.h"

#include "fw_Framework.h"

namespace {

bool IsChecked(HWND dialog, int id) {
    return GetDlgItem(dialog, id) != nullptr && IsDlgButtonChecked(dialog, id) == BST_CHECKED;
}

void Flip(HWND dialog, int id) {
    CheckDlgButton(dialog, id, IsChecked(dialog, id) ? BST_UNCHECKED : BST_CHECKED);
}

}  // namespace

INT_PTR CALLBACK StartDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            if (!fw_Framework::mStereoAvailable && GetDlgItem(dialog, IDC_STEREO))
                SendMessageA(GetDlgItem(dialog, IDC_STEREO), BM_SETSTATE, 2, 0);
            CheckDlgButton(dialog, IDC_FULLSCREEN, BST_CHECKED);
            CheckDlgButton(dialog, IDC_SOUND, BST_CHECKED);
            CheckDlgButton(dialog, IDC_LOOP, BST_CHECKED);
            return TRUE;

        case WM_COMMAND:
            if (HIWORD(wParam) == 0) {
                switch (LOWORD(wParam)) {
                    case IDC_STEREO:
                        if (fw_Framework::mStereoAvailable) {
                            Flip(dialog, IDC_STEREO);
                            if (IsChecked(dialog, IDC_STEREO))
                                CheckDlgButton(dialog, IDC_FULLSCREEN, BST_CHECKED);
                        } else if (HWND control = GetDlgItem(dialog, IDC_STEREO)) {
                            SendMessageA(control, BM_SETSTATE, 2, 0);
                        }
                        break;
                    case IDC_FULLSCREEN:
                        Flip(dialog, IDC_FULLSCREEN);
                        if (!IsChecked(dialog, IDC_FULLSCREEN) && GetDlgItem(dialog, IDC_STEREO))
                            CheckDlgButton(dialog, IDC_STEREO, BST_UNCHECKED);
                        break;
                    default:
                        break;
                }
            }
            switch (wParam) {
                case IDOK:
                    fw_Framework::mStereoChosen = IsChecked(dialog, IDC_STEREO);
                    fw_Framework::mFullscreen = IsChecked(dialog, IDC_FULLSCREEN);
                    fw_Framework::mLoop = IsChecked(dialog, IDC_LOOP);
                    fw_Framework::mSound = IsChecked(dialog, IDC_SOUND);
                    EndDialog(dialog, 1);
                    return TRUE;
                case IDCANCEL:
                    EndDialog(dialog, 2);
                    PostQuitMessage(0);
                    return TRUE;
                default:
                    return FALSE;
            }

        default:
            return FALSE;
    }
}
