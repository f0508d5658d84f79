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

// Setup dialogs and About. Rows of a dialog are numbered from a base: row r of a bounded-field
// dialog has its label at base + 4r, the edit at + 1, the up-down at + 2 and the unit at + 3.
#define IDD_ACTIVE_VIDEO_AREA 400
#define IDC_AVA_ROWS 410
#define IDD_FRAME_SIZE 450
#define IDC_FS_ROWS 460
#define IDD_FRAME_TYPE 490
#define IDC_FT_OPTIONS 491  // seven options, one per frame type bit
#define IDD_INPUT_SOURCE 500
#define IDC_INPUT_SOURCE 501
#define IDD_INPUT_FILTER 510
#define IDC_IF_OPTIONS 511  // four options: 1, 2, 4, 8
#define IDD_VIDEO_INPUT_TYPE 520
#define IDC_COMPOSITE 521
#define IDC_VARIABLE_SCAN 522
#define IDC_YC 523
#define IDC_RGB 524
#define IDC_SYNC_SOURCE_LABEL 525
#define IDC_SYNC_SOURCE 526
#define IDC_SYNC_THRESHOLD_LABEL 527
#define IDC_SYNC_THRESHOLD 528
#define IDC_LINE_HIGH_TO_LOW 529
#define IDC_LINE_LOW_TO_HIGH 530
#define IDC_FIELD_HIGH_TO_LOW 531
#define IDC_FIELD_LOW_TO_HIGH 532
#define IDD_PROGRAMMABLE_AD 540
#define IDC_GAIN 541
#define IDC_OFFSET 542
#define IDC_REFERENCE 543
#define IDD_PIXEL_CLOCK 550
#define IDC_INTERNAL_CLOCK 551
#define IDC_EXTERNAL_CLOCK 552
#define IDC_FREQUENCY_LABEL 553
#define IDC_FREQUENCY 554
#define IDC_HZ 555
#define IDC_CLOCK_HIGH_TO_LOW 556
#define IDC_CLOCK_LOW_TO_HIGH 557
#define IDD_PIXEL_CLOCK_WARNING 560
#define IDC_REMIND_PIXEL_CLOCK 561
#define IDC_PIXEL_CLOCK_WARNING_OK 562
#define IDD_SYNC_SENTINEL 570
#define IDC_SYNC_SENTINEL 571
#define IDC_SS_ROWS 572  // row r: label + 3r, edit + 3r + 1, unit + 3r + 2
#define IDD_EXTERNAL_TRIGGER 590
#define IDC_EXTERNAL_TRIGGER 591
#define IDC_TRIGGER_LOW_TO_HIGH 592
#define IDC_TRIGGER_HIGH_TO_LOW 593
#define IDC_TRIGGER_OK 594
#define IDC_TRIGGER_CANCEL 595
#define IDD_TIMEOUT 600
#define IDC_TIMEOUT 601
#define IDD_CAMERA_TYPE 610
#define IDC_CT_OPTIONS 611  // 8 bit single, 8 bit dual, 10, 12, 14, 16 bit
#define IDC_RESET_CAMERA 617
#define IDD_CAMERA_WAIT 620
#define IDC_REMIND_CAMERA_WAIT 621
#define IDC_CAMERA_WAIT_OK 622
#define IDD_CAMERA_EXPOSURE 630
#define IDC_EXPOSURE 631
#define IDC_DURATION_LABEL 632
#define IDC_DURATION 633
#define IDC_US 634
#define IDC_ACTIVE_HIGH 635
#define IDC_ACTIVE_LOW 636
#define IDD_DIGITAL_IO 640
#define IDC_DIO_MESSAGE 641
#define IDC_DIO_IN 650     // line i: + i
#define IDC_DIO_OUT 660
#define IDC_DIO_WRITE 670
#define IDC_DIO_READ 680
#define IDD_COLOR_PARAMETERS 700
#define IDC_RESTORE_DEFAULTS 701
#define IDC_CP_ROWS 710  // row r: label + 3r, edit + 3r + 1, slider + 3r + 2
#define IDD_SYNC_MASTER 750
#define IDC_ENABLE_SYNC_MASTER 751
#define IDC_SM_ROWS 752  // row r: label + 3r, edit + 3r + 1, unit + 3r + 2
#define IDD_ABOUT 780
#define IDC_ABOUT_TITLE 781
#define IDC_ABOUT_VERSION 782
#define IDC_ABOUT_COMPANY 783
#define IDC_ABOUT_DESCRIPTION 784
#define IDC_ABOUT_DISCLAIMER 785
#define IDC_ABOUT_ICON 786
#define IDC_SYSTEM_INFO 787
