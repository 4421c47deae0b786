#pragma once
// Resource ids of orvo_Printer (icons, PNG pictures).
#define IDI_APP 1

// PNG pictures, stored as RCDATA and decoded with WIC.
#define IDR_PNG_LOGO 101
#define IDR_PNG_CLOSE_NORMAL 102
#define IDR_PNG_CLOSE_PRESSED 103
#define IDR_PNG_CLOSE_RELEASED 104

// The preview's tool bar.
#define IDR_PNG_TOOL_SAVE 110
#define IDR_PNG_TOOL_PRINT 111
#define IDR_PNG_TOOL_ACTUAL_SIZE 112
#define IDR_PNG_TOOL_FIT_WIDTH 113
#define IDR_PNG_TOOL_FIT_PAGE 114
#define IDR_PNG_TOOL_ZOOM_OUT 115
#define IDR_PNG_TOOL_ZOOM_IN 116
#define IDR_PNG_TOOL_SEPARATOR 117

// The floating title bar's close button.
#define IDR_PNG_BAR_CLOSE_NORMAL 120
#define IDR_PNG_BAR_CLOSE_PRESSED 121
#define IDR_PNG_BAR_CLOSE_RELEASED 122

// The question before the first contact with servers no list trusts.
#define IDD_TRUST_SERVERS 200
#define IDC_TRUST_PROMPT 201
#define IDC_TRUST_SERVER_LIST 202
#define IDC_TRUST_ADVICE 203
#define IDC_TRUST_REMEMBER 204
#define IDC_TRUST_ALLOW 205
// 拒绝 is IDCANCEL, so Esc and the close box refuse too.
