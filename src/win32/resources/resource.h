/* Resource ids of k-hub.exe. Plain #defines: the resource compiler reads this file too.
   The menu and control ids are the core's (platform/Ui.h, app/MainCommands.h); static checks make sure
   that both say the same (CMainFrame.cpp). */
#pragma once

#define IDR_MAINFRAME 51 /* menu, accelerators, title string */
#define IDI_KHUB 1       /* the lowest id: the icon the shell shows for the file */

#define IDD_OPTIONS 250
#define IDD_CREATE_GAME 251
#define IDD_HOST_GAME 252
#define IDD_JOIN_GAME 253
#define IDD_ABOUT 254
#define IDD_DEBUG 255
#define IDD_FILE_TRANSFER 257

/* Main menu and accelerators */
#define ID_APP_EXIT 107
#define ID_HELP_ABOUT 120
#define ID_HELP_RULES 121
#define ID_FILE_CONNECT 200
#define ID_FILE_OPTIONS 201
#define ID_GAME_CREATE 202
#define ID_GAME_JOIN 203
#define ID_KEY_E 1000
#define ID_KEY_A 1001
#define ID_KEY_S 1002
#define ID_KEY_T 1003
#define ID_KEY_R 1004
#define ID_KEY_G 1005
#define ID_DEBUG_WINDOW 1100

/* Host Game and Join Game */
#define IDC_HOST_CHAT_LOG 300
#define IDC_JOIN_CHAT_LOG 301
#define IDC_HOST_CHAT_EDIT 302
#define IDC_JOIN_CHAT_EDIT 303
#define IDC_START 304
#define IDC_SELECT 305
#define IDC_DOWNLOAD 306
#define IDC_KICK 307
#define IDC_JOIN_PROGRESS 308

/* File Transfer */
#define IDC_TRANSFER_STATUS 310
#define IDC_TRANSFER_PROGRESS 311
#define IDC_TRANSFER_DETAIL 312

/* Create Game */
#define IDC_GAME_NAME 320
#define IDC_GAME_BROWSE 321
#define IDC_DISALLOW_DOWNLOAD 322

/* Debug output */
#define IDC_DEBUG_EDIT 400
#define IDC_DEBUG_SEND 401
#define IDC_DEBUG_LOG 402

/* About: the buttons, and the links beside them (button id + 10) */
#define IDC_ABOUT_LINE1 490
#define IDC_ABOUT_LINE2 491
#define IDC_ABOUT_LINE3 492
#define IDC_ABOUT_SITE 500
#define IDC_ABOUT_MIRROR 501
#define IDC_ABOUT_FORUM 502
#define IDC_ABOUT_EMULATOR 503
#define IDC_ABOUT_LINK_OFFSET 10

/* Options */
#define IDC_OPT_NAME 1000
#define IDC_OPT_CONNECT 1001
#define IDC_OPT_PROGRAM 1002
#define IDC_OPT_PROGRAM_BROWSE 1003
#define IDC_OPT_ROMS 1004
#define IDC_OPT_ROMS_BROWSE 1005
#define IDC_OPT_JOIN_SOUND 1006
#define IDC_OPT_JOIN_SOUND_FILE 1007
#define IDC_OPT_JOIN_SOUND_BROWSE 1008
#define IDC_OPT_TEXT_SOUND 1009
#define IDC_OPT_TEXT_SOUND_FILE 1010
#define IDC_OPT_TEXT_SOUND_BROWSE 1011
