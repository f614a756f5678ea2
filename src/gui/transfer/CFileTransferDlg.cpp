#include "CFileTransferDlg.h"

#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

#include "app/Program.h"
#include "transfer/Transfer.h"

namespace khub::gui {

CFileTransferDlg::CFileTransferDlg(Program& program) : CDialog(nullptr), program_(program) {
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint);
    setWindowTitle(QStringLiteral("File Transfer"));
    auto* status = new QLabel;
    status->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    status->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    auto* bar = new QProgressBar;
    bar->setRange(0, 100);
    bar->setValue(0);
    bar->setTextVisible(false);
    // Bytes done of the whole, the rate and the time left: a slow transfer shows it moves.
    auto* detail = new QLabel;
    detail->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    auto* column = new QVBoxLayout(this);
    column->addWidget(status);
    column->addWidget(bar);
    column->addWidget(detail);
    AddControl(control::kTransferStatus, status);
    AddControl(control::kTransferProgress, bar);
    AddControl(control::kTransferDetail, detail);
    resize(360, sizeHint().height());
}

void CFileTransferDlg::OnCancel() {
    transfer::CloseTransferWindow(program_);
    EndDialog(Rejected);
}

}  // namespace khub::gui
