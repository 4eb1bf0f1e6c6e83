#include "pelorin_dlg.h"

std::uint8_t g_bContWrite = 0;
std::uint8_t g_bContDes = 0;

void CPelorinDlg::OnRead() {}

void CPelorinDlg::OnWrite() {}

void CPelorinDlg::OnFdxRead() {}

void CPelorinDlg::OnFdxWrite() {}

void CPelorinDlg::OnDes() {}

void CPelorinDlg::OnLoadKey() {}

void CPelorinDlg::OnStopWrite() {}

void CPelorinDlg::OnStopDes() {}
