// Identifiers of the windows' resources (windows.rc), for the resource compiler and C++.
#pragma once

#define IDD_TEXT_PROMPT 200
#define IDC_PROMPT_LABEL 101
#define IDC_PROMPT_TEXT 100
