#include "forms/frmDataGrid.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QResizeEvent>

#include "shell/MDIMain.h"
#include "shell/Program.h"
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

void frmDataGrid::ShowTableData(const std::string& TableName, const std::string& Caption) {
    Guarded("frmDataGrid:ShowTableData", [&] {
        datRS_ = OpenGridTable(TableName);
        if (!datRS_) {
            UnloadForm(this);
            return;
        }
        datRS_->setObjectName("datRS");
        grdDataGrid_->SetModel(datRS_.get());
        setWindowTitle(GridCaption(Caption, TableName));
        // Three quarters of the frame's document area, whatever the other
        // windows' state, so the table shows rows and columns at once.
        if (MDIMain* frame = program::MainFrame())
            frame->AddChild(this, frame->MdiArea()->viewport()->size() * 3 / 4);
        else
            show();
    });
}

void frmDataGrid::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Guarded("frmDataGrid.Form_Resize", [&] {
        auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget());
        bool minimised = sub ? sub->isMinimized() : isMinimized();
        if (!minimised) grdDataGrid_->setGeometry(0, 0, width(), height());
    });
}
