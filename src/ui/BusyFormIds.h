// Names and control ids of the busy window's resources, shared by resources/BusyForm.rc and
// ui/UdsBusyForm.cpp. Plain #defines: the resource compiler reads this file too.
#pragma once

// The gauge: a control of the library's own, registered with the library's module.
#define QRX_GAUGE_CLASS "QrxBusyGauge"

#define IDC_BUSY_ANIMATE 101
#define IDC_BUSY_TEXT 102
#define IDC_BUSY_IMAGE 103
#define IDC_BUSY_GAUGE 104
#define IDC_BUSY_CANCEL 105
