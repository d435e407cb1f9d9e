#include "forms/frmDataGridDialog.h"

#include <QResizeEvent>

#include "shell/Program.h"
#include "forms/GridTable.h"
#include "models/DataGridModel.h"
#include "models/DataGridView.h"
#include "services/ErrorBoundary.h"

frmDataGridDialog::frmDataGridDialog(QWidget* parent) : QDialog(parent) {
    setObjectName("frmDataGridDialog");
    grdDataGrid_ = new DataGridView(this);
    grdDataGrid_->setObjectName("grdDataGrid");
    Guarded("frmDataGridDialog.Form_Load", [this] {
        // Four fifths of the frame, centred over it.
        if (QWidget* frame = program::MainWindow()) {
            QRect f = frame->frameGeometry();
            resize(static_cast<int>(f.width() * 0.8), static_cast<int>(f.height() * 0.8));
            move(f.left() + static_cast<int>(f.width() * 0.1), f.top() + static_cast<int>(f.height() * 0.1));
        } else {
            resize(480, 320);
        }
    });
}

frmDataGridDialog::~frmDataGridDialog() { grdDataGrid_->SetModel(nullptr); }

void frmDataGridDialog::ShowTableData(const std::string& TableName, const std::string& Caption) {
    Guarded("frmDataGridDialog:ShowTableData", [&] {
        datRS_ = OpenGridTable(TableName);
        if (datRS_) {
            datRS_->setObjectName("datRS");
            grdDataGrid_->SetModel(datRS_.get());
            setWindowTitle(GridCaption(Caption, TableName));
            exec();
        }
        // Closed: the record set goes with it. The caller owns the object.
        grdDataGrid_->SetModel(nullptr);
        datRS_.reset();
        setProperty("merivoxUnloaded", true);
        close();
    });
}

void frmDataGridDialog::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    Guarded("frmDataGridDialog.Form_Resize", [&] {
        if (!isMinimized()) grdDataGrid_->setGeometry(0, 0, width(), height());
    });
}
