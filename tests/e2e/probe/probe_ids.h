#pragma once
#define IDR_MAINMENU 100
#define IDR_ACCEL    101
#define IDM_OPEN     1001
#define IDM_SAVE     1002
#define IDM_EXIT     1003
#define IDM_COPY     1004
#define IDM_NEXT     1005
#define IDM_CRASH    1006
