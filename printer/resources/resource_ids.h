#pragma once
// Resource ids of orvo_Printer (icons, PNG pictures).
#define IDI_APP 1
