// frmDataGrid: one table or saved query of the open database in a read-only
// grid, a child window of the frame that stays open beside the others. A new
// window is made for every request; it keeps its record set until it closes.
#pragma once

#include <QWidget>
#include <memory>
#include <string>

class DataGridModel;
class DataGridView;

class frmDataGrid : public QWidget {
    Q_OBJECT
public:
    explicit frmDataGrid(QWidget* parent = nullptr);
    ~frmDataGrid() override;

    // Opens the table in the grid, captioned "<Caption>: <TableName>", and
    // returns true; the caller shows the window. Or tells why it cannot,
    // closes the window, which then deletes itself (make it with new and let
    // it go), and returns false.
    bool OpenTable(const std::string& TableName, const std::string& Caption);

    DataGridView* Grid() const { return grdDataGrid_; }
    DataGridModel* Model() const { return datRS_.get(); }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    DataGridView* grdDataGrid_;
    std::unique_ptr<DataGridModel> datRS_;
};
