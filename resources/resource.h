// Control ids and resource names shared by the resource script and the dialog code.
#pragma once

#define IDC_PATH_EDIT 101       // MainDialog: extraction directory; FileExist: the question; PWD: the password
#define IDC_LIST 301
#define IDC_STORED_PATHS 401    // MainDialog: "Use S&tored Paths"; FileExist: "Don't &ask again"
#define IDC_DONT_ASK 401
#define IDC_OVERWRITE 501
#define IDC_SKIP 502
#define IDC_CONFIRM 503
#define IDC_STATUS 601          // MainDialog: the status line; Progress: the file being written
#define IDC_PROGRESS 602        // MainDialog and Progress: the bar
#define IDC_ALL 121
#define IDC_NONE 122
#define IDC_PATH_LABEL 100
#define IDC_QUESTION 101
#define IDC_PASSWORD 101
#define IDC_STATIC_ID -1

#define MAIN_DIALOG "MainDialog"
#define FILE_EXIST_DIALOG "FileExist"
#define PWD_DIALOG "PWD"
#define PROGRESS_DIALOG 1          // by number: its name would cost the stub its bytes twice
#define MAIN_ICON "MainIcon"
