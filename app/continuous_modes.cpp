#include "pelorin_dlg.h"

void CPelorinDlg::OnContWrite() {}

void CPelorinDlg::OnContDes() {}

void CPelorinDlg::OnTimer() {}

void CPelorinDlg::ContWriteStep() {}
