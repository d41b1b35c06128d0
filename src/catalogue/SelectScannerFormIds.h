// Names and control ids of the select-scanner dialog's resources, shared by
// resources/SelectScannerForm.rc and catalogue/USelectScannerForm.cpp. Plain #defines: the resource
// compiler reads this file too.
#pragma once

#define IDD_SELECTSCANNERFORM "TSELECTSCANNERFORM"
#define IDI_SCANNERICON "SCANNERICON"

#define IDC_SELECT_IMAGE 201
#define IDC_SELECT_LABEL 202
#define IDC_SELECT_SCANNER 203
#define IDC_SELECT_SCANMODE 204
#define IDC_SELECT_ROLL 205
#define IDC_SELECT_FLATBED 206
