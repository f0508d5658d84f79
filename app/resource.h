// Resource and control identifiers of Vidora, shared by the resource script and the forms.
#pragma once

#define IDI_VIDORA 1
#define IDR_MAINMENU 100
#define IDR_ACCELERATORS 101
#define IDB_TOOLBAR 110
#define IDB_SIDE640X480 111
#define IDB_SIDE768X576 112
#define IDB_LOGO 113

// Menu commands (frmMain). The Setup items from Set Camera Type to External Trigger are
// consecutive so that they can be walked as one range.
#define IDM_OPEN_IMAGE_FILE 1001
#define IDM_SAVE_IMAGE_FILE 1002
#define IDM_LOAD_LUMEN_FILE 1003
#define IDM_EXIT 1004
#define IDM_SELECT_DEVICE 1010
#define IDM_CLOSE_DEVICE 1011
#define IDM_SET_CAMERA_TYPE 1020
#define IDM_SET_TIMEOUT 1021
#define IDM_COLOR_IMAGE_PARAMETERS 1022
#define IDM_SELECT_INPUT_SOURCE 1023
#define IDM_INPUT_FILTER 1024
#define IDM_PROGRAMMABLE_AD 1025
#define IDM_VIDEO_INPUT_TYPE 1026
#define IDM_FRAME_TYPE 1027
#define IDM_SYNC_SENTINEL 1028
#define IDM_PIXEL_CLOCK 1029
#define IDM_ACTIVE_VIDEO_AREA 1030
#define IDM_FRAME_SIZE 1031
#define IDM_SYNC_MASTER 1032
#define IDM_CAMERA_EXPOSURE 1033
#define IDM_DIGITAL_IO 1034
#define IDM_EXTERNAL_TRIGGER 1035
#define IDM_VIEW_640X480 1040
#define IDM_VIEW_768X576 1041
#define IDM_VIEW_FULL 1042
#define IDM_START_PASSTHRU 1050
#define IDM_STOP_PASSTHRU 1051
#define IDM_SINGLE_FRAME_ACQUIRE 1052
#define IDM_ABOUT_VIDORA 1060
#define IDM_HELP_TOPICS 1061

// Child windows of frmMain.
#define IDC_TOOLBAR 2001
#define IDC_STATUSBAR 2002
#define IDC_PICTURE 2003
#define IDC_HSCROLL 2004
#define IDC_VSCROLL 2005
#define IDC_IMG640X480 2006
#define IDC_IMG768X576 2007

// frmSelectDevice.
#define IDD_SELECT_DEVICE 300
#define IDC_ALIAS_LABEL 301
#define IDC_SELECT_DEVICE 302
