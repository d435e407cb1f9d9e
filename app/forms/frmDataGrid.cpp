#include "forms/frmDataGrid.h"

#include <QMdiSubWindow>
#include <QResizeEvent>

#include "forms/GridTable.h"
#include "shell/modMerivox.h"
#include "models/DataGridModel.h"
#include "models/DataGridView.h"
#include "services/ErrorBoundary.h"

frmDataGrid::frmDataGrid(QWidget* parent) : QWidget(parent) {
    setObjectName("frmDataGrid");
    setAttribute(Qt::WA_DeleteOnClose);
    grdDataGrid_ = new DataGridView(this);
    grdDataGrid_->setObjectName("grdDataGrid");
    // Room for a few rows and columns at the least.
    const QFontMetrics metrics = fontMetrics();
    setMinimumSize(metrics.averageCharWidth() * 32, metrics.height() * 8);
    resize(480, 320);
}

frmDataGrid::~frmDataGrid() {
    // The grid lets go of the model before the model (and its record set) goes.
    grdDataGrid_->SetModel(nullptr);
}

bool frmDataGrid::OpenTable(const std::string& TableName, const std::string& Caption) {
    bool opened = false;
    Guarded("frmDataGrid:ShowTableData", [&] {
        datRS_ = OpenGridTable(TableName);
        if (!datRS_) {
            UnloadForm(this);
            return;
        }
        datRS_->setObjectName("datRS");
        grdDataGrid_->SetModel(datRS_.get());
        setWindowTitle(GridCaption(Caption, TableName));
        opened = true;
    });
    return opened;
}

void frmDataGrid::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Guarded("frmDataGrid.Form_Resize", [&] {
        auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget());
        bool minimised = sub ? sub->isMinimized() : isMinimized();
        if (!minimised) grdDataGrid_->setGeometry(0, 0, width(), height());
    });
}
