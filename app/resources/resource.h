// Resource ids shared by the .rc scripts and the code.
#pragma once

// Dialog templates.
#define IDD_WELCOME 101
#define IDD_PROGRESS 102
// The box that /? shows, laid out as it opens.
#define IDD_USAGE 110

// Icon groups: 104 is shown on the welcome page, 109 on the progress page.
#define IDI_APP 103
#define IDI_WELCOME 104
#define IDI_SKIN 105
#define IDI_PROGRESS 109

// Controls.
#define IDC_STATIC_TEXT -1
#define IDC_NEXT 1001
#define IDC_CURRENT_FILE 1004
#define IDC_PROGRESS_BAR 1005
#define IDC_STATUS 1006
#define IDC_PROGRESS_LINE 1007
#define IDC_USAGE_ICON 1008

// String table.
#define IDS_INDEX_NOT_FOUND 1
#define IDS_CANNOT_CREATE_FILE 2
#define IDS_CANNOT_CONNECT 3
#define IDS_CURRENTLY_DOWNLOADING 4
#define IDS_DOWNLOAD_IN_PROGRESS 5
#define IDS_CONNECTING 6
#define IDS_PREPARING 11
#define IDS_CONFIRM_STOP 18
#define IDS_DEFAULT_BASE_URL 19
#define IDS_INSTALL_INCOMPLETE 20
#define IDS_ACTIVATE_HINT 21
#define IDS_WIZARD_CAPTION 22
#define IDS_SETUP_DAMAGED 23
#define IDS_PROXY_AUTH 25
// A package or a setup that nothing vouches for.
#define IDS_PACKAGE_NOT_VERIFIED 26
#define IDS_SETUP_NOT_SIGNED 27
// Before any page: a partner.pub beside a program without keys, and a program changed.
#define IDS_PARTNER_EDITION_NEEDED 29
#define IDS_PROGRAM_CHANGED 30
// The status line while a file waits for its next try ("%s of %s": the try, the tries).
#define IDS_RETRY_CONNECTION 40
#define IDS_RETRY_BUSY 41
// The line under the progress bar and its units.
#define IDS_PROGRESS_OF_SPEED_LEFT 42
#define IDS_PROGRESS_OF_SPEED 43
#define IDS_PROGRESS_OF 44
#define IDS_SIZE_KB 45
#define IDS_SIZE_MB 46
#define IDS_SIZE_GB 47
#define IDS_TIME_SECONDS 48
#define IDS_TIME_MINUTES 49
#define IDS_TIME_HOURS 50
// The status line while the server sends nothing.
#define IDS_WAITING_FOR_SERVER 51
// The welcome page's button after a successful run, and the captions.
#define IDS_DONE 52
#define IDS_ERROR_CAPTION 53
#define IDS_WELCOME_CAPTION 54
// The status line once the user has left a failed download's page open.
#define IDS_DOWNLOAD_STOPPED 60
