#pragma once
// Resource ids of orvo_Printer (icons, PNG pictures).
#define IDI_APP 1

// PNG pictures, stored as RCDATA and decoded with WIC.
#define IDR_PNG_LOGO 101
#define IDR_PNG_CLOSE_NORMAL 102
#define IDR_PNG_CLOSE_PRESSED 103
#define IDR_PNG_CLOSE_RELEASED 104
